#pragma once

// The cell of a TopImageView: a press on it may move the window.
class TopImageCell {
public:
    bool mouseDownCanMoveWindow() const { return true; }
};
