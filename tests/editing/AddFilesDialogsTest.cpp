#include "editing/CurrentUploader.h"
#include "editing/widgets/AddFilesDialog.h"
#include "editing/widgets/PreferencesDialog.h"
#include "settings/Settings.h"

#include "tests/editing/DialogProbe.h"
#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/ScriptedDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

namespace qv {
namespace {

using test::shoot;

TEST(AddFilesDialog, ListsCountsAndHandsTheSelectionToOk)
{
    test::TempDir tmp;
    const QString dir = QString::fromStdString(tmp.path());
    for (const QString name : { "UTIL.ZIP", "beep.zip", "Read me first.txt", "notes.txt" })
        test::writeBytes(dir + "/" + name, "x");
    QStringList asked;
    QString askedUploader;
    bool askedExtract = true;
    AddFilesDialog d({ 12, "Utilities", "C:\\FILES\\UTIL", dir, { "Util.zip", "Readme~1.txt" }, "Jane Sysop" },
        [&](const QStringList& names, const QString& uploader, bool extract) {
            asked = names;
            askedUploader = uploader;
            askedExtract = extract;
            return QStringList();
        });
    d.show();
    EXPECT_EQ(d.findChild<QLabel*>("labArea")->text(), "Area: 12 - Utilities");
    EXPECT_EQ(d.findChild<QLabel*>("labDirectory")->text(), "Directory: C:\\FILES\\UTIL");
    EXPECT_EQ(d.maskBox()->text(), "*.*");
    EXPECT_EQ(d.uploaderBox()->text(), "Jane Sysop");
    EXPECT_EQ(d.uploaderBox()->maxLength(), 35);
    EXPECT_EQ(test::itemTexts(d.notInBaseList()), QStringList({ "Beep.zip", "Notes.txt" }));
    EXPECT_EQ(d.countLabel()->text(), "Files: 2");
    EXPECT_FALSE(d.refreshButton()->isEnabled());
    shoot(&d, "addfiles-notinbase");

    d.showAllBox()->setChecked(true);
    EXPECT_EQ(d.countLabel()->text(), "Files: 4");
    EXPECT_TRUE(d.allFilesList()->isVisible());
    shoot(&d, "addfiles-allfiles");
    d.showAllBox()->setChecked(false);

    d.maskBox()->setText(" *.zip ");
    EXPECT_TRUE(d.refreshButton()->isEnabled());
    QTest::mouseClick(d.refreshButton(), Qt::LeftButton);
    EXPECT_FALSE(d.refreshButton()->isEnabled());
    EXPECT_EQ(test::itemTexts(d.notInBaseList()), QStringList({ "Beep.zip" }));
    EXPECT_EQ(d.countLabel()->text(), "Files: 1");

    d.notInBaseList()->item(0)->setSelected(true);
    d.noDizBox()->setChecked(true);
    d.uploaderBox()->setText("Someone Else");
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
    EXPECT_EQ(asked, QStringList({ "Beep.zip" }));
    EXPECT_EQ(askedUploader, "Someone Else");
    EXPECT_FALSE(askedExtract);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

// Enter in the mask box lists again (it adds nothing), activating the dialog lists again, the
// uploader typed is remembered even when OK adds nothing, and files that vanished are named.
TEST(AddFilesDialog, EnterInTheMaskRefreshesActivationListsAgainAndVanishedFilesAreNamed)
{
    test::TempDir tmp;
    const QString dir = QString::fromStdString(tmp.path());
    test::writeBytes(dir + "/one.zip", "x");
    test::writeBytes(dir + "/two.txt", "x");
    int adds = 0;
    AddFilesDialog d({ 1, "A", "C:\\A", dir, {}, "U" }, [&](const QStringList& names, const QString&, bool) {
        ++adds;
        return names; // none was there any more
    });
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.notInBaseList()->item(0)->setSelected(true);
    d.maskBox()->setFocus();
    d.maskBox()->setText("*.txt");
    QTest::keyClick(d.maskBox(), Qt::Key_Return);
    EXPECT_EQ(adds, 0);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(test::itemTexts(d.notInBaseList()), QStringList({ "Two.txt" }));
    EXPECT_FALSE(d.refreshButton()->isEnabled());

    test::writeBytes(dir + "/three.txt", "x");
    d.notInBaseList()->item(0)->setSelected(true);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&d, &activate);
    EXPECT_EQ(test::itemTexts(d.notInBaseList()), QStringList({ "Three.txt", "Two.txt" }));
    EXPECT_TRUE(d.notInBaseList()->item(1)->isSelected()) << "the selection stays";

    QFile::remove(dir + "/three.txt");
    d.notInBaseList()->clearSelection();
    d.notInBaseList()->item(0)->setSelected(true);
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
    EXPECT_EQ(adds, 1);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.statusLabel()->text(), "Not added, no longer in the directory: Three.txt");
    EXPECT_EQ(d.countLabel()->text(), "Files: 1");

    CurrentUploader::set({});
    EXPECT_FALSE(CurrentUploader::defaultName().isEmpty()) << "a full name or the login name";
    d.notInBaseList()->clearSelection();
    d.uploaderBox()->setText("Typed Name");
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
    EXPECT_EQ(adds, 1);
    EXPECT_EQ(CurrentUploader::get(), "Typed Name");
    EXPECT_EQ(CurrentUploader::defaultName(), "Typed Name") << "the confirmed name wins over the system's";
    CurrentUploader::set({});
}

struct PreferencesFixture {
    Settings settings;
    test::ScriptedDialogs dialogs;
    PreferencesFixture()
    {
        settings.archivers[0] = { "ARC", "/nonexistent/nomarch", "-U" };
        settings.archivers[1] = { "ZIP", "/bin/sh", "-o" };
        settings.archivers[2] = { "RAR", "/bin/sh", "x" };
        settings.startupArea = 7;
    }
};

TEST(PreferencesDialog, OpensOnTheStoredValuesAndBrowsePicksTheProgram)
{
    PreferencesFixture f;
    PreferencesDialog d(f.settings, { { 3, "00003: Games" }, { 7, "00007: Utilities" } }, f.dialogs);
    d.show();
    EXPECT_TRUE(d.followingAreaOption()->isChecked());
    EXPECT_EQ(d.areaList()->currentText(), "00007: Utilities");
    EXPECT_FALSE(d.applyButton()->isEnabled());
    EXPECT_EQ(d.extensionBox()->maxLength(), 3);
    ASSERT_EQ(d.archiverList()->topLevelItemCount(), 3);
    EXPECT_EQ(d.archiverList()->topLevelItem(0)->toolTip(1), "Program not found");
    EXPECT_EQ(d.archiverList()->topLevelItem(1)->toolTip(1), "");
    shoot(&d, "preferences-general");
    d.tabs()->setCurrentIndex(1);
    d.archiverList()->setCurrentItem(d.archiverList()->topLevelItem(1));
    EXPECT_EQ(d.pathBox()->text(), "/bin/sh");
    shoot(&d, "preferences-archivers");
    // A click on the row already current brings its values back into the edited boxes.
    d.pathBox()->setText("/edited");
    d.optionsBox()->setText("-edited");
    QTreeWidget* list = d.archiverList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(1)).center());
    EXPECT_EQ(d.pathBox()->text(), "/bin/sh");
    EXPECT_EQ(d.optionsBox()->text(), "-o");
    // A missing program is marked; Browse starts at the program named, or where programs live;
    // a cancelled pick changes nothing.
    for (const auto& [typed, marked] : { std::pair { "/nonexistent/nomarch", true }, std::pair { "/bin/sh", false },
             std::pair { "", false }, std::pair { "/etc/passwd", true } }) {
        d.pathBox()->setText(typed);
        EXPECT_EQ(d.pathMissingMark()->isVisible(), marked) << typed;
    }
    d.pathBox()->setText("/nonexistent/nomarch");
    f.dialogs.files = { "/bin/sh" };
    QTest::mouseClick(d.browseButton(), Qt::LeftButton);
    EXPECT_EQ(d.pathBox()->text(), "/bin/sh");
    EXPECT_FALSE(d.pathMissingMark()->isVisible());
    QTest::mouseClick(d.browseButton(), Qt::LeftButton);
    EXPECT_EQ(d.pathBox()->text(), "/bin/sh");
    ASSERT_EQ(f.dialogs.calls.size(), 2);
    EXPECT_EQ(f.dialogs.calls[0].kind, "file");
    EXPECT_EQ(f.dialogs.calls[0].text, "/usr/bin");
    EXPECT_TRUE(f.dialogs.calls[1].text.endsWith("sh")) << f.dialogs.calls[1].text.toStdString();

    d.firstAreaOption()->setChecked(true);
    EXPECT_FALSE(d.areaList()->isEnabled());
    EXPECT_TRUE(d.applyButton()->isEnabled());
    QTest::mouseClick(d.applyButton(), Qt::LeftButton);
    EXPECT_EQ(f.settings.startupArea, 0);
    EXPECT_FALSE(d.applyButton()->isEnabled());
    // An area chosen by its name stores its number.
    d.followingAreaOption()->setChecked(true);
    d.areaList()->setCurrentIndex(0);
    QTest::mouseClick(d.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(f.settings.startupArea, 3);
}

TEST(PreferencesDialog, AddEditAndDeleteAskAndKeepTheOrder)
{
    PreferencesFixture f;
    PreferencesDialog d(f.settings, {}, f.dialogs);
    d.show();
    d.extensionBox()->setText("zip");
    d.pathBox()->setText(" /usr/bin/unzip ");
    f.dialogs.answers = { Dialogs::Answer::No };
    QTest::mouseClick(d.addEditButton(), Qt::LeftButton);
    EXPECT_EQ(d.extensionBox()->text(), "ZIP");
    EXPECT_EQ(d.definitions().rows()[1].path, "/bin/sh") << "No changes nothing";
    EXPECT_FALSE(d.applyButton()->isEnabled());
    f.dialogs.answers = { Dialogs::Answer::Yes };
    QTest::mouseClick(d.addEditButton(), Qt::LeftButton);
    EXPECT_EQ(d.definitions().rows()[1].path, "/usr/bin/unzip");
    d.extensionBox()->setText("arc");
    f.dialogs.answers = { Dialogs::Answer::Yes };
    QTest::mouseClick(d.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(f.dialogs.messages(),
        QStringList({ "Archivers|Definitions for extension ZIP already exist. Do you want to replace?",
            "Archivers|Definitions for extension ZIP already exist. Do you want to replace?",
            "Archivers|Are you sure you want to delete definitions for extension ARC?" }));
    EXPECT_EQ(f.dialogs.calls[0].icon, Dialogs::Icon::Question);
    EXPECT_EQ(f.dialogs.calls[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(f.settings.archivers[0].extension, "ARC") << "nothing reaches the settings before Apply";
    QTest::mouseClick(d.applyButton(), Qt::LeftButton);
    EXPECT_EQ(f.settings.archivers[0].extension, "ZIP");
    EXPECT_EQ(f.settings.archivers[1].extension, "RAR");
    EXPECT_EQ(f.settings.archivers[2].extension, "");

    // A full table refuses a new row and says why.
    for (int i = 0; i < 30; ++i) {
        d.extensionBox()->setText(QString::number(i));
        QTest::mouseClick(d.addEditButton(), Qt::LeftButton);
    }
    f.dialogs.calls.clear();
    d.extensionBox()->setText("NEW");
    QTest::mouseClick(d.addEditButton(), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.calls.size(), 1);
    EXPECT_EQ(f.dialogs.calls[0].title, "Archivers");
    EXPECT_EQ(d.archiverList()->topLevelItemCount(), 32);
    f.dialogs.verifyAllAnswersUsed();
}

} // namespace
} // namespace qv
