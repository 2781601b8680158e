#pragma once
#include <QString>
#include <exception>

// The one exception of the program: ITProgressBar refuses a value outside
// 0.0 to 1.0 with it. Its name (what()) is "Invalid value"; the reason says
// which call was wrong.
class InvalidValueException : public std::exception {
public:
    explicit InvalidValueException(QString reason) : _reason(std::move(reason)) {}
    const char *what() const noexcept override { return "Invalid value"; }
    QString name() const { return QStringLiteral("Invalid value"); }
    QString reason() const { return _reason; }

private:
    QString _reason;
};
