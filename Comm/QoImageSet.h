#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// Every image name the program asks the bundle for, grouped the way the
// screens use them. The drawings live in Resources/images, one file per name;
// keeping the names here lets a test prove that none is missing.
class QoImageSet {
public:
    struct Group {
        QString title;
        QStringList names;
    };
    static const QList<Group> &groups();
    static QStringList names();
};
