#include "editing/widgets/PropertiesDialog.h"

#include "editing/widgets/GlobalDescriptionDialog.h"
#include "storage/KeywordChecksum.h"
#include "tests/editing/EditingTestBoard.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::shoot;

using test::EditingTestBoard;
using test::Entry;
using test::packedDate;
using test::shownAt;

class PropertiesDialogTest : public ::testing::Test {
protected:
    void open(uint64_t position, PropertiesDialog::Page page = PropertiesDialog::Page::General, int area = 1)
    {
        const auto fields = EntryProperties(*t.board, area).read(shownAt(*t.board, area, position), true);
        ASSERT_TRUE(fields);
        QFont font(QStringLiteral("Monospace"), 10);
        dialog = std::make_unique<PropertiesDialog>(
            dialogs, *fields, font, [this, position, area](const PropertyChanges& c) {
                return EntryProperties(*t.board, area).apply(shownAt(*t.board, area, position), c);
            });
        QObject::connect(
            dialog.get(), &PropertiesDialog::applied, [this](const PropertiesResult& r) { applied.push_back(r); });
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        QApplication::setActiveWindow(dialog.get());
        dialog->showPage(page);
        QCoreApplication::processEvents();
    }
    template <class W = QLineEdit> W* find(const char* name) const
    {
        W* w = dialog->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    // Replaces a box's text by typing, as the user does.
    void type(const char* name, const QString& text)
    {
        QLineEdit* box = find(name);
        auto* tabs = find<QTabWidget>("tabProps");
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i)->isAncestorOf(box))
                tabs->setCurrentIndex(i);
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
    HeaderRecord headerAt(size_t position, int area = 1) const
    {
        return test::recordAt<HeaderRecord>(test::readFile(t.builder.headerPath(area)), position);
    }

    EditingTestBoard t;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<PropertiesDialog> dialog;
    std::vector<PropertiesResult> applied;
};

TEST_F(PropertiesDialogTest, ShowsEveryStoredValueInItsBoxAndOkWritesTheKeywordChecksums)
{
    open(0);
    EXPECT_EQ(dialog->windowTitle(), "Properties - [Foo archive.zip]");
    auto* tabs = find<QTabWidget>("tabProps");
    EXPECT_FALSE(button("cmdApply")->isEnabled());
    struct Box {
        const char* name;
        QString text;
        int maxLength;
    };
    const QString fileDate = QLocale::system().toString(QDate(1996, 3, 14), QLocale::LongFormat);
    for (const Box& b : { Box { "txtName", "Foo archive.zip", 32767 }, Box { "txtSize", "1234", 32767 },
             Box { "txtFileDate", fileDate, 32767 }, Box { "txtUploadMonth", "11", 2 }, Box { "txtUploadDay", "05", 2 },
             Box { "txtUploadYear", "1998", 4 }, Box { "txtLastDownloadMonth", "01", 2 },
             Box { "txtLastDownloadDay", "01", 2 }, Box { "txtLastDownloadYear", "1980", 4 },
             Box { "txtDownloads", "5", 5 }, Box { "txtCost", "3", 5 }, Box { "txtUploader", "Ann", 35 },
             Box { "txtPassword", "pw", 15 }, Box { "txtKeyword1", "one", 15 }, Box { "txtKeyword2", "", 15 },
             Box { "txtKeyword3", "three", 15 } }) {
        EXPECT_EQ(find(b.name)->text(), b.text) << b.name;
        EXPECT_EQ(find(b.name)->maxLength(), b.maxLength) << b.name;
    }
    for (const char* shown : { "txtName", "txtSize", "txtFileDate" })
        EXPECT_TRUE(find(shown)->isReadOnly()) << shown;
    // 0x85: bits 0 and 2; bit 7 has no box.
    for (int bit = 0; bit < 7; ++bit)
        EXPECT_EQ(
            find<QCheckBox>(QStringLiteral("chkAttribute%1").arg(bit).toLatin1())->isChecked(), bit == 0 || bit == 2)
            << bit;
    const char* pages[] = { "properties-general", "properties-security", "properties-description" };
    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        shoot(dialog.get(), pages[i]);
    }
    auto* description = find<QPlainTextEdit>("txtDescription");
    EXPECT_EQ(description->toPlainText(), "First line\nsecond\nthird\nend");
    EXPECT_EQ(description->font().family(), "Monospace");
    EXPECT_GE(description->viewport()->width(),
        QFontMetrics(description->font()).horizontalAdvance(PropertiesDialog::ruler()));
    // The date boxes stand under their captions in the locale's order.
    const auto order = PropertiesDialog::dateOrder(QLocale::system().dateFormat(QLocale::ShortFormat));
    const char* const parts[] = { "Month", "Day", "Year" };
    int lastX = -1;
    for (int k = 0; k < 3; ++k) {
        const QString part = parts[order.parts[size_t(k)]];
        auto* caption = find<QLabel>(("lbl" + part).toLatin1().constData());
        QLineEdit* box = find(("txtUpload" + part).toLatin1().constData());
        EXPECT_EQ(caption->x(), box->x()) << part.toStdString();
        EXPECT_GT(box->x(), lastX) << part.toStdString();
        lastX = box->x();
    }

    // Stored keywords count as changed, so their checksums are written.
    QTest::mouseClick(button("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    IndexRecord x = t.original.indexes[0];
    const char* keywords[] = { "one", "", "three", "", "" };
    for (size_t k = 0; k < 5; ++k)
        x.setKeywordChecksum(k, keywordChecksum(keywords[k]));
    EXPECT_EQ(t.bytes().idx, t.indexesWith(0, x));
    // Nothing else was touched: the description with its mixed line breaks, the header with bit 7 of
    // its attributes.
    EXPECT_EQ(t.bytes().txt, t.original.descriptions);
    EXPECT_EQ(t.bytes().hdr, t.headersWith(0, t.original.headers[0]));
}

TEST_F(PropertiesDialogTest, ACommentLineOffersOnlyItsDescription)
{
    open(1);
    EXPECT_EQ(dialog->windowTitle(), "Properties - Comment line");
    auto* tabs = find<QTabWidget>("tabProps");
    for (QWidget* w : tabs->widget(0)->findChildren<QWidget*>())
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : tabs->widget(1)->findChildren<QWidget*>())
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    auto* box = find<QPlainTextEdit>("txtDescription");
    EXPECT_TRUE(box->isEnabled());
    shoot(dialog.get(), "properties-comment-line");
    tabs->setCurrentIndex(2);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "== games ==");
    QTest::mouseClick(button("cmdApply"), Qt::LeftButton);
    ASSERT_EQ(applied.size(), 1u);
    auto txt = t.original.descriptions;
    const std::string text = "== games ==";
    std::copy(text.begin(), text.end(), txt.begin() + 29);
    EXPECT_EQ(t.bytes().txt, txt);
    EXPECT_EQ(t.bytes().hdr, t.headersWith(1, t.original.headers[1]));
}

TEST_F(PropertiesDialogTest, ApplyIsEnabledByAChangeAndWritesTheDialogsFields)
{
    open(3);
    EXPECT_FALSE(button("cmdApply")->isEnabled());
    type("txtDownloads", "123");
    EXPECT_TRUE(button("cmdApply")->isEnabled());
    find<QCheckBox>("chkAttribute6")->click();
    QTest::mouseClick(button("cmdApply"), Qt::LeftButton);
    EXPECT_FALSE(button("cmdApply")->isEnabled());
    EXPECT_TRUE(dialogs.calls.isEmpty()) << dialogs.messages().join("\n").toStdString();

    // Every field as the boxes hold it; no keyword was stored and none typed, so the index keeps
    // its checksums; the unchanged description is written over itself.
    HeaderRecord h = t.original.headers[3];
    h.setDownloads(123);
    h.setAttributes(0x40);
    h.setUploadDate(packedDate(1994, 5, 5));
    h.setLastDownloadDate(packedDate(1994, 5, 5));
    EXPECT_EQ(headerAt(3), h);
    EXPECT_EQ(t.bytes().idx, t.indexesWith(3, t.original.indexes[3]));
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].header.downloads(), 123);
    EXPECT_EQ(t.bytes().txt, t.original.descriptions);
}

// Only what the user changed is checked and written: a stored count above the boxes' range, a zero
// byte inside a text and a description's own line breaks stay as they are.
TEST_F(PropertiesDialogTest, UntouchedFieldsKeepTheirStoredBytes)
{
    struct Case {
        const char* label;
        std::function<void()> edit;
        std::string description; // stored afterwards
        std::string uploader;
        int downloads;
    };
    auto* self = this;
    const Case cases[] = {
        { "nothing", [] {}, "one\ntwo", std::string("Ann\0Lee", 7), 65000 },
        { "the description: LF stays LF",
            [self] {
                auto* box = self->find<QPlainTextEdit>("txtDescription");
                box->moveCursor(QTextCursor::End);
                QTest::keyClick(box, Qt::Key_Return);
                QTest::keyClicks(box, "3");
            },
            "one\ntwo\n3", std::string("Ann\0Lee", 7), 65000 },
        { "the uploader: its zero byte goes",
            [self] {
                auto* box = self->find("txtUploader");
                box->setFocus();
                box->end(false);
                QTest::keyClicks(box, "!");
            },
            "one\ntwo", "AnnLee!", 65000 },
        { "the count: now checked", [self] { self->type("txtDownloads", "64000"); }, "one\ntwo",
            std::string("Ann\0Lee", 7), 64000 },
    };
    for (const Case& c : cases) {
        t.builder.writeEntries(2,
            { Entry { .name = "ODD.ZIP",
                .uploader = std::string("Ann\0Lee", 7),
                .downloads = 65000,
                .password = std::string("p\0w", 3),
                .description = std::string("one\ntwo") } });
        t.reopen();
        const auto before = t.bytes(2);
        open(0, PropertiesDialog::Page::General, 2);
        // Passing through the untouched count box asks nothing.
        find("txtDownloads")->setFocus();
        find("txtUploader")->setFocus();
        dialogs.calls.clear();
        c.edit();
        QTest::mouseClick(button("cmdOK"), Qt::LeftButton);
        EXPECT_TRUE(dialogs.calls.isEmpty()) << c.label << ": " << dialogs.messages().join("\n").toStdString();
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << c.label;
        const HeaderRecord h = headerAt(0, 2);
        EXPECT_EQ(t.board->store().readDescription(2, 0), c.description) << c.label;
        EXPECT_EQ(h.uploader(), c.uploader) << c.label;
        EXPECT_EQ(h.downloads(), c.downloads) << c.label;
        EXPECT_EQ(h.password(), std::string("p\0w", 3)) << c.label;
        if (std::string_view(c.label) == "nothing") {
            EXPECT_EQ(t.bytes(2), before);
        }
        dialog.reset();
    }
}

TEST_F(PropertiesDialogTest, SpinnersStepWithinTheirRange)
{
    open(0);
    auto* up = find<QWidget>("spnDownloads")->findChild<QToolButton*>("up");
    auto* down = find<QWidget>("spnDownloads")->findChild<QToolButton*>("down");
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(find("txtDownloads")->text(), "6");
    type("txtDownloads", "64000");
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(find("txtDownloads")->text(), "64000");
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(find("txtDownloads")->text(), "63999");
    type("txtCost", "");
    QTest::mouseClick(find<QWidget>("spnCost")->findChild<QToolButton*>("down"), Qt::LeftButton);
    EXPECT_EQ(find("txtCost")->text(), "");
    QTest::mouseClick(find<QWidget>("spnCost")->findChild<QToolButton*>("up"), Qt::LeftButton);
    EXPECT_EQ(find("txtCost")->text(), "1");

    // The keys and the wheel step as the buttons do, within the same range.
    QLineEdit* cost = find("txtCost");
    QTest::keyClick(cost, Qt::Key_Up);
    EXPECT_EQ(cost->text(), "2");
    QTest::keyClick(cost, Qt::Key_Down);
    QTest::keyClick(cost, Qt::Key_Down);
    QTest::keyClick(cost, Qt::Key_Down);
    EXPECT_EQ(cost->text(), "0");
    for (const int turned : { 120, 120, -120 }) {
        QWheelEvent wheel(QPointF(2, 2), cost->mapToGlobal(QPointF(2, 2)), QPoint(), QPoint(0, turned), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(cost, &wheel);
    }
    EXPECT_EQ(cost->text(), "1");
}

TEST(PropertiesDateOrder, FollowsTheDateFormat)
{
    struct Case {
        const char* format;
        std::array<int, 3> parts;
        const char* separator;
    };
    for (const Case& c : { Case { "M/d/yy", { 0, 1, 2 }, "/" }, Case { "dd.MM.yy", { 1, 0, 2 }, "." },
             Case { "yyyy-MM-dd", { 2, 0, 1 }, "-" }, Case { "d MMM yyyy", { 1, 0, 2 }, "-" },
             Case { "", { 0, 1, 2 }, "-" } }) {
        const PropertiesDialog::DateOrder order = PropertiesDialog::dateOrder(c.format);
        EXPECT_EQ(order.parts, c.parts) << c.format;
        EXPECT_EQ(order.separator, c.separator) << c.format;
    }
}

TEST_F(PropertiesDialogTest, ValuesOutOfRangeAreRefusedAndReturnTheFocus)
{
    struct Case {
        const char* box;
        QString text;
        QString message; // empty: no message
        QString valid; // typed afterwards, so leaving the box for the next case says nothing
    };
    const std::vector<Case> cases = {
        { "txtUploadMonth", "13", "Value out of range (1-12)", "1" },
        { "txtUploadMonth", "0", "Value out of range (1-12)", "1" },
        { "txtUploadDay", "32", "Value out of range (1-31)", "1" },
        { "txtLastDownloadYear", "1979", "Value out of range (1980-2107)", "2000" },
        { "txtLastDownloadYear", "2108", "Value out of range (1980-2107)", "2000" },
        { "txtDownloads", "70000", "Value out of range (0 - 64000)", "1" },
        { "txtCost", "64001", "Value out of range (0 - 64000)", "1" },
        { "txtCost", "64000", "", "1" },
        { "txtUploadDay", "31", "", "1" },
        { "txtUploadYear", "", "", "2000" },
    };
    open(0);
    for (const Case& c : cases) {
        dialogs.calls.clear();
        type(c.box, c.text);
        QTest::keyClick(find(c.box), Qt::Key_Tab);
        QCoreApplication::processEvents();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(dialogs.calls.isEmpty()) << c.box << " " << c.text.toStdString();
            find(c.box)->setText(c.valid);
            continue;
        }
        ASSERT_EQ(dialogs.calls.size(), 1) << c.box << " " << c.text.toStdString();
        EXPECT_EQ(dialogs.calls[0].title, "Error!");
        EXPECT_EQ(dialogs.calls[0].text, c.message);
        EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Exclamation);
        EXPECT_EQ(QApplication::focusWidget(), find(c.box)) << c.box;
        // The value stays as typed.
        EXPECT_EQ(find(c.box)->text(), c.text);
        find(c.box)->setText(c.valid);
    }

    // Apply and OK refuse values that cannot be stored; Cancel writes nothing.
    const auto before = t.bytes();
    type("txtDownloads", "70000");
    type("txtUploadYear", "2200");
    dialogs.calls.clear();
    QTest::mouseClick(button("cmdOK"), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialogs.messages(), QStringList({ "Error!|Value out of range (1980-2107)" }));
    EXPECT_EQ(QApplication::focusWidget(), find("txtUploadYear"));
    EXPECT_TRUE(button("cmdApply")->isEnabled());
    EXPECT_EQ(t.bytes(), before);

    type("txtUploadYear", "2000");
    dialogs.calls.clear();
    QTest::mouseClick(button("cmdApply"), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(), QStringList({ "Error!|Value out of range (0 - 64000)" }));
    EXPECT_EQ(QApplication::focusWidget(), find("txtDownloads"));
    EXPECT_EQ(t.bytes(), before);
    EXPECT_TRUE(applied.empty());

    QTest::mouseClick(button("cmdCancel"), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(t.bytes(), before);
}

TEST_F(PropertiesDialogTest, TheDescriptionPageTakesTheFocusAndStoresLineBreaksAsCrLf)
{
    open(3, PropertiesDialog::Page::Description);
    auto* box = find<QPlainTextEdit>("txtDescription");
    EXPECT_EQ(find<QTabWidget>("tabProps")->currentIndex(), 2);
    EXPECT_EQ(QApplication::focusWidget(), box);
    box->selectAll();
    QTest::keyClicks(box, "bar");
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, "two lines");
    QTest::mouseClick(button("cmdApply"), Qt::LeftButton);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_TRUE(applied[0].descriptionAppended);
    EXPECT_EQ(applied[0].description, "bar\ntwo lines");
    EXPECT_EQ(t.bytes().txt, t.descriptionsPlus("bar\r\ntwo lines"));

    // A character the code page lacks: named, nothing written, focus back in the box.
    const auto before = t.bytes();
    box->insertPlainText(QString("\u20ac"));
    dialogs.calls.clear();
    QTest::mouseClick(button("cmdApply"), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Error!|The character \"\u20ac\" (U+20AC) cannot be stored in the board's code page IBM437. "
                      "Nothing was written." }));
    EXPECT_EQ(t.bytes(), before);
    EXPECT_EQ(QApplication::focusWidget(), box);
}

TEST(GlobalDescriptionDialog, AsksFirstAndWritesEverySelectedEntryOnYes)
{
    test::EditingTestBoard t;
    test::ScriptedDialogs dialogs;
    int runs = 0;
    GlobalDescriptionDialog dialog(dialogs, QFont("Monospace", 10), [&](const QString& text) {
        ++runs;
        return Descriptions(*t.board, 1).giveAll(shownAt(*t.board, 1, { 2, 3 }), text);
    });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* box = dialog.findChild<QPlainTextEdit*>("txtDescription");
    EXPECT_TRUE(box->toPlainText().isEmpty());
    auto* ok = dialog.findChild<QPushButton*>("cmdOK");
    auto* apply = dialog.findChild<QPushButton*>("cmdApply");
    EXPECT_FALSE(apply->isEnabled());

    box->setFocus();
    QTest::keyClicks(box, "All the same");
    test::shoot(&dialog, "global-description");
    EXPECT_FALSE(apply->isEnabled());
    const auto before = t.bytes();
    dialogs.answers.push_back(Dialogs::Answer::No);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Quorvex|This action will permanently change the descriptions of all selected files!\n"
                      "Apply description to selected files?" }));
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Exclamation);
    EXPECT_EQ(dialogs.calls[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(t.bytes(), before);

    std::vector<DescriptionsResult> written;
    QObject::connect(
        &dialog, &GlobalDescriptionDialog::written, [&](const DescriptionsResult& r) { written.push_back(r); });
    dialogs.answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].appended, 2);
    auto txt = t.descriptionsPlus("All the same");
    txt.insert(txt.end(), { 'A', 'l', 'l', ' ', 't', 'h', 'e', ' ', 's', 'a', 'm', 'e', 0 });
    EXPECT_EQ(t.bytes().txt, txt);
    dialogs.verifyAllAnswersUsed();
}

} // namespace
} // namespace qv
