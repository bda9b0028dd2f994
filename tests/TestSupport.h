#pragma once

#include <QString>
#include <QTemporaryDir>

// Points every platform location (registry hives, engine settings, named
// events) at a fresh temporary folder for the life of the object, so tests
// never touch the user's files and never see each other's.
class TTestPlatformRoot
{
public:
    TTestPlatformRoot();
    ~TTestPlatformRoot();
    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    QByteArray FPrevious;
};
