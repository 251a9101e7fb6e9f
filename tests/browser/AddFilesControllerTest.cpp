#include "browser/AddFilesController.h"
#include "editing/CurrentUploader.h"
#include "editing/widgets/AddFilesDialog.h"
#include "editing/widgets/PreferencesDialog.h"
#include "tests/browser/MainWindowFixture.h"
#include "tests/support/ArchiveBuilder.h"

#include <QFile>
#include <QListWidget>
#include <QRadioButton>

using namespace qv;

namespace {

class AddFilesControllerTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        board.writeConfig("Board", "C:\\RA\\FDB");
        board.writeGroups({ { "Group" } });
        writeAreas({ { "Uploads", "", 1 } });
        board.writeFilesRdx({ 1 });
        board.writeEntries(1,
            { { .name = "A.ZIP", .size = 10, .description = "old text of a" }, { .description = "a comment" },
                { .name = "B.ZIP", .size = 10, .description = "b" } });
        // A stand-in archiver that takes a moment, so the status text can be seen.
        script = QString::fromStdString(root()) + "/slowzip";
        test::writeBytes(script, "#!/bin/sh\nsleep 0.4\nprintf 'new text of '\"$(basename \"$1\")\" > FILE_ID.DIZ\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        settings.startupArea = 1;
        settings.archivers[0] = { "ZIP", script.toStdString(), "" };
        for (const char* name : { "A.ZIP", "B.ZIP" })
            test::writeBytes(QString::fromStdString(areaDir(1)) + "/" + name, "x");
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        CurrentUploader::set({});
    }
    void expectNoNewProblems() const
    {
        for (const std::string& problem : AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1))
            ADD_FAILURE() << problem;
    }

    QString script;
};

TEST_F(AddFilesControllerTest, ExtractDescriptionAndAddFilesStoreEveryTextInPlace)
{
    ASSERT_TRUE(open());
    QAction* xdesc = act("xdesc");
    select({ 0, 1, 2 });
    ASSERT_TRUE(xdesc->isEnabled());
    QStringList seen;
    bool disabledMeanwhile = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const QString text = window->sizePanel()->text();
        if (text.startsWith("Extracting") && !seen.contains(text)) {
            seen << text;
            disabledMeanwhile = !act("adopt")->isEnabled();
            if (seen.size() == 1)
                test::shoot(window.get(), "extracting-statusbar");
        }
    });
    probe.start(20);
    xdesc->trigger();
    probe.stop();
    EXPECT_EQ(seen,
        QStringList({ "Extracting Description from A.zip, running " + script + "...",
            "Extracting Description from B.zip, running " + script + "..." }));
    EXPECT_TRUE(disabledMeanwhile) << "no other change starts while an archiver runs";
    EXPECT_FALSE(window->sizePanel()->text().contains("Extracting"));
    EXPECT_EQ(window->descriptionPane()->toPlainText(), "new text of B.ZIP");
    EXPECT_EQ(opened->store().readDescription(1, 0), "new text of A.ZIP");
    EXPECT_EQ(opened->store().readDescription(1, 1), "a comment");
    EXPECT_EQ(opened->store().readDescription(1, 2), "new text of B.ZIP");
    EXPECT_EQ(window->model()->rows().size(), 3u) << "the list is not reloaded";

    // Add Files inserts the rows after the current row, in place.
    test::writeBytes(QString::fromStdString(areaDir(1)) + "/New file.txt", "12345");
    test::writeBytes(QString::fromStdString(areaDir(1)) + "/C.ZIP", "x");
    select({ 0 });
    QStringList listed;
    window->addFiles().setDialogHook([&](QDialog* d) {
        auto* dialog = qobject_cast<AddFilesDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < dialog->notInBaseList()->count(); ++i) {
            listed << dialog->notInBaseList()->item(i)->text();
            dialog->notInBaseList()->item(i)->setSelected(true);
        }
        dialog->uploaderBox()->setText("New Uploader");
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    QAction* insert = window->commands().toolAction("insert");
    ASSERT_NE(insert, nullptr);
    insert->trigger();
    EXPECT_EQ(listed, QStringList({ "C.ZIP", "New file.txt" }));
    ASSERT_EQ(window->model()->rows().size(), 5u);
    EXPECT_EQ(window->model()->rows()[1].name, "C.zip");
    EXPECT_EQ(window->model()->rows()[2].name, "New file.txt");
    EXPECT_EQ(window->model()->rows()[3].name, " (Comment)");
    EXPECT_EQ(window->objectsPanel()->text(), "5 Object(s)");
    EXPECT_EQ(window->messagePanel()->text(), "2 files added");
    EXPECT_EQ(CurrentUploader::get(), "New Uploader");
    EXPECT_EQ(opened->store().readDescription(1, 1), "new text of C.ZIP");
    EXPECT_EQ(opened->store().readHeader(1, 2)->name(), "NEWFIL~1.TXT");
    EXPECT_EQ(window->model()->rows()[2].record, opened->store().readHeader(1, 2)->encode())
        << "a command on a new row rests on the bytes stored";
    expectNoNewProblems();
}

TEST_F(AddFilesControllerTest, AnArchiverPastItsLimitIsNamedAndTheEntryKeepsItsText)
{
    test::writeBytes(script, "#!/bin/sh\nsleep 30\n");
    settings.archiverTimeoutSeconds = 1;
    ASSERT_TRUE(open());
    select({ 0 });
    act("xdesc")->trigger();
    EXPECT_EQ(
        window->statusBar()->currentMessage(), "The archiver for A.zip did not end within 1 seconds and was stopped");
    EXPECT_EQ(opened->store().readDescription(1, 0), "old text of a");
}

TEST_F(AddFilesControllerTest, AnAreaWithoutItsDirectorySaysSoWithThePathAndPreferencesChangeTheSettings)
{
    std::filesystem::remove_all(areaDir(1));
    ASSERT_TRUE(open());
    bool shown = false;
    window->addFiles().setDialogHook([&](QDialog* d) {
        shown = true;
        d->reject();
    });
    act("adopt")->trigger();
    EXPECT_FALSE(shown);
    EXPECT_EQ(messages(),
        QStringList({ "Add Files|The directory of area 1 does not exist:\n\n" + QString::fromStdString(areaDir(1))
            + "\n\nCreate it, or correct the area's path in the board's configuration." }));

    // Preferences change the settings in memory.
    window->addFiles().setDialogHook([&](QDialog* d) {
        auto* dialog = qobject_cast<PreferencesDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        dialog->firstAreaOption()->setChecked(true);
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    act("pref")->trigger();
    EXPECT_EQ(settings.startupArea, 0);
    EXPECT_EQ(settings.archivers[0].extension, "ZIP");
}

} // namespace
