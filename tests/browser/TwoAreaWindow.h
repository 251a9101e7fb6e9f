#pragma once

#include "tests/browser/MainWindowFixture.h"
#include "tests/support/FaultyFileIo.h"
#include "tests/transfer/TransferTestBoard.h"

namespace qv::test {

// A real window on Alpha: F1..F5 with their files and the comment "Editors and viewers"; Beta:
// B1, B2. `other` is a second opening of the board, as another program has it.
class TwoAreaWindow : public MappedWindow<TransferTestBoard> {
protected:
    void SetUp() override
    {
        t.builder.writeConfig("Board", "C:\\FDB");
        t.builder.writeGroups({ { "General" } });
        t.builder.writeFilesRdx({ 1, 2, 3 });
        t.builder.writeEntries(1,
            { Entry { .name = "F1.ZIP", .size = 1 }, Entry { .name = "F2.ZIP", .size = 2 },
                Entry { .name = "F3.ZIP", .size = 3 }, Entry { .name = "F4.ZIP", .size = 4 },
                Entry { .name = "F5.ZIP", .size = 5 }, Entry { .name = "", .description = "Editors and viewers" } });
        t.builder.writeEntries(2, { Entry { .name = "B1.ZIP" }, Entry { .name = "B2.ZIP" } });
        for (const char* f : { "F1.ZIP", "F2.ZIP", "F3.ZIP", "F4.ZIP", "F5.ZIP" })
            t.putFile(1, f, f);
        other = t.open();
        startOn(io);
        window->fileList()->detailsView()->setFocus();
    }

    FaultyFileIo io { systemFileIo() }; // fails nothing; a test may hold a copy half way
    std::unique_ptr<Board> other;
};

} // namespace qv::test
