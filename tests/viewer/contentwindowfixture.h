#pragma once
// What the content window's tests against a fake host stand on: the window's host and the packer
// window's, the bar extraction drives, the archive the window shows, messages recorded and the
// time zone set to UTC. (The QTest programs include viewertestutil.h alone: this one brings in
// GoogleTest.)

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/dialogtemplate.h"
#include "fakehost.h"
#include "platform/collate.h"
#include "viewer/contentwindow.h"
#include "viewertestutil.h"

namespace quillomar::test {

class ContentWindowFixture : public ::testing::Test {
protected:
    // The row showing the entry of that stored name, or -1.
    int rowOf(const std::string& stored) const {
        for (int row = 0; row < host.rowCount(viewer::kList); ++row) {
            if (window->rowEntry(row)->name == stored) return row;
        }
        return -1;
    }

    // Declared in the order they must be built: the window, made last by each test, ends first.
    TimeZone zone{"UTC0"};
    RecordingSink sink;
    TempDir dir;
    Collator collator{"en_US"};
    FakeHost host{kContentDialogId};
    FakeHost owner{kPackerDialogId};  // the packer window, which hands copies to the desktop
    CountingProgress progress;        // the packer window's bar
    PodArchive archive;
    std::unique_ptr<ContentWindow> window;
};

}  // namespace quillomar::test
