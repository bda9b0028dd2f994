#include "TestSupport.h"

#include "platform/Paths.h"

TTestPlatformRoot::TTestPlatformRoot() : FPrevious(qgetenv(TPaths::RootVariable))
{
    qputenv(TPaths::RootVariable, FDir.path().toLocal8Bit());
}

TTestPlatformRoot::~TTestPlatformRoot()
{
    if (FPrevious.isEmpty())
        qunsetenv(TPaths::RootVariable);
    else
        qputenv(TPaths::RootVariable, FPrevious);
}
