#include "platform/FileAssociation.h"

#include "platform/FreedesktopFileAssociation.h"

std::unique_ptr<FileAssociation> FileAssociation::create()
{
    using namespace tamapiko::platform;
    return std::make_unique<FreedesktopFileAssociation>(XdgFolders::fromEnvironment());
}
