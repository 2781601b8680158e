#pragma once
class NewButton;

// Told when the hot spot at the left of a NewButton row is clicked.
class NewButtonDelegate {
public:
    virtual ~NewButtonDelegate() = default;
    virtual void clickButtonAction(NewButton *sender) { (void)sender; }
};
