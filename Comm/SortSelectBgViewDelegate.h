#pragma once
class SortSelectBgView;

// What a hover row of a small pop-up menu tells its owner. Both calls are
// optional: the defaults do nothing.
class SortSelectBgViewDelegate {
public:
    virtual ~SortSelectBgViewDelegate() = default;
    // The row was clicked.
    virtual void selectSortType(SortSelectBgView *row) { (void)row; }
    // The pointer entered (true) or left (false) the row numbered `withTag`.
    virtual void mouseInView(bool inside, int withTag)
    {
        (void)inside;
        (void)withTag;
    }
};
