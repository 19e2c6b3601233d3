#include "platform/FileAssociation.h"

namespace {

// Placeholder until the desktop integration lands: nothing is installed.
class NoFileAssociation : public FileAssociation
{
public:
    bool checkAtStartup() override { return false; }
    void rewriteAtExit(int) override {}
    void notifyShell() override {}
};

} // namespace

std::unique_ptr<FileAssociation> FileAssociation::create()
{
    return std::make_unique<NoFileAssociation>();
}
