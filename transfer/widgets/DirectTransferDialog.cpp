#include "transfer/widgets/DirectTransferDialog.h"

#include "board/Board.h"
#include "editing/EditedText.h"
#include "platform/widgets/Dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <vector>

namespace qv {
namespace {

constexpr int kHighestArea = 65535;

// The picker's items with the area each stands for. Names are matched to areas one by one, so
// two areas of one name are two items and a name contained in another never picks the wrong one.
struct AreaItems {
    QStringList texts;
    std::vector<int> areas;
};

AreaItems areaItems(const Board& board, bool byNumber)
{
    AreaItems items;
    if (byNumber) {
        items.texts = board.numberedAreaItems();
        for (const QString& t : items.texts)
            items.areas.push_back(t.left(5).toInt());
        return items;
    }
    items.texts = board.areaNamesSorted();
    std::vector<bool> used(board.config().areas().size(), false);
    for (const QString& name : items.texts) {
        int area = 0;
        const auto& all = board.config().areas();
        for (size_t i = 0; i < all.size(); ++i) {
            if (!used[i] && board.text(all[i].name) == name) {
                used[i] = true;
                area = all[i].number;
                break;
            }
        }
        items.areas.push_back(area);
    }
    return items;
}

} // namespace

const QString DirectTransferDialog::kNoArea = QStringLiteral("[Area does not exist]");

DirectTransferDialog::DirectTransferDialog(const Board& board, Dialogs& dialogs, Setup setup, QWidget* parent)
    : QDialog(parent)
    , m_board(board)
    , m_dialogs(dialogs)
    , m_setup(setup)
{
    setObjectName("Form14");
    setWindowTitle(setup.move ? QStringLiteral("Move...") : QStringLiteral("Copy..."));
    setModal(true);

    m_heading = new QLabel(
        setup.move ? QStringLiteral("Move selected file(s) to...") : QStringLiteral("Copy selected file(s) to..."),
        this);
    m_heading->setObjectName("Label1");

    m_toArea = new QRadioButton(QStringLiteral("&Area"), this);
    m_toArea->setObjectName("Option1_0");
    m_toDirectory = new QRadioButton(QStringLiteral("&Direct"), this);
    m_toDirectory->setObjectName("Option1_1");
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(m_toArea, 0);
    kinds->addButton(m_toDirectory, 1);

    m_areaLabel = new QLabel(QStringLiteral("Area:"), this);
    m_areaLabel->setObjectName("Label3");
    m_areaNumber = new QLineEdit(this);
    m_areaNumber->setObjectName("Text1");
    const int digit = m_areaNumber->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_areaNumber->setFixedWidth(digit * 7 + 12);
    m_areaPicker = new QComboBox(this);
    m_areaPicker->setObjectName("Combo1");
    m_areaPicker->setPlaceholderText(kNoArea);
    m_areaPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_areaPicker->setMinimumContentsLength(24);
    const AreaItems items = areaItems(board, setup.itemsByNumber);
    for (int i = 0; i < items.texts.size(); ++i)
        m_areaPicker->addItem(items.texts[i], items.areas[size_t(i)]);
    m_areaPicker->setCurrentIndex(m_areaPicker->count() ? 0 : -1);
    m_areaLabel->setBuddy(m_areaNumber);

    m_pathLabel = new QLabel(QStringLiteral("Path:"), this);
    m_pathLabel->setObjectName("Label2");
    m_path = new QLineEdit(this);
    m_path->setObjectName("Text2");
    m_browse = new QPushButton(QStringLiteral("&Browse..."), this);
    m_browse->setObjectName("Command2");
    m_browse->setAutoDefault(false);
    m_pathLabel->setBuddy(m_path);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("Command3");
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName("Command1");
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->addWidget(m_toArea, 0, 0);
    grid->addWidget(m_areaLabel, 0, 1);
    auto* areaRow = new QHBoxLayout;
    areaRow->addWidget(m_areaNumber);
    areaRow->addWidget(m_areaPicker, 1);
    grid->addLayout(areaRow, 0, 2);
    grid->addWidget(m_toDirectory, 1, 0);
    grid->addWidget(m_pathLabel, 1, 1);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_browse);
    grid->addLayout(pathRow, 1, 2);
    grid->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addSpacing(4);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    connect(m_toArea, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseKind(true);
    });
    connect(m_toDirectory, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            chooseKind(false);
    });
    connect(m_areaNumber, &QLineEdit::textChanged, this, &DirectTransferDialog::followAreaNumber);
    connect(m_browse, &QPushButton::clicked, this, &DirectTransferDialog::browse);
    connect(ok, &QPushButton::clicked, this, &DirectTransferDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Nothing can be copied to a directory for a comment line.
    m_toDirectory->setEnabled(!setup.currentIsComment);
    m_toArea->setChecked(true);
    chooseKind(true);
    m_areaNumber->setFocus();

    adjustSize();
    centreOnScreen();
}

std::optional<DirectTarget> DirectTransferDialog::ask(
    QWidget* parent, const Board& board, Dialogs& dialogs, Setup setup)
{
    DirectTransferDialog dialog(board, dialogs, setup, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.target();
}

int DirectTransferDialog::pickedArea() const
{
    return m_areaPicker->currentIndex() < 0 ? 0 : m_areaPicker->currentData().toInt();
}

QString DirectTransferDialog::pickerText() const
{
    return m_areaPicker->currentIndex() < 0 ? kNoArea : m_areaPicker->currentText();
}

void DirectTransferDialog::chooseKind(bool toArea)
{
    for (QWidget* w : { static_cast<QWidget*>(m_areaLabel), static_cast<QWidget*>(m_areaNumber),
             static_cast<QWidget*>(m_areaPicker) })
        w->setEnabled(toArea);
    for (QWidget* w :
        { static_cast<QWidget*>(m_pathLabel), static_cast<QWidget*>(m_path), static_cast<QWidget*>(m_browse) })
        w->setEnabled(!toArea);
}

void DirectTransferDialog::followAreaNumber(const QString& typed)
{
    // Anything but a plain number counts as 0, which no area has.
    bool isNumber = false;
    const qlonglong value = typed.trimmed().toLongLong(&isNumber);
    int index = -1;
    if (isNumber && value >= 1 && value <= kHighestArea)
        index = m_areaPicker->findData(int(value));
    m_areaPicker->setCurrentIndex(index);
}

void DirectTransferDialog::browse()
{
    const QString typed = m_path->text().trimmed();
    const QString host = hostDirectoryOf(typed);
    const QString chosen = m_dialogs.pickFolder(this, QStringLiteral("Select Destination Path"), host);
    if (!chosen.isEmpty())
        m_path->setText(QDir::toNativeSeparators(chosen));
}

void DirectTransferDialog::confirm()
{
    m_target.reset();
    if (m_toArea->isChecked())
        confirmArea();
    else
        confirmDirectory();
    if (m_target)
        accept();
}

void DirectTransferDialog::confirmArea()
{
    const int area = pickedArea();
    if (area > 0)
        m_areaNumber->setText(QString::number(area));
    if (area <= 0 || !m_board.areaExists(area)) {
        m_dialogs.message(this, QStringLiteral("Error!"), QStringLiteral("Specified area does not exist!"),
            Dialogs::Icon::Exclamation);
        return;
    }
    if (area == m_setup.currentArea) {
        m_dialogs.message(this, QStringLiteral("Error!"), QStringLiteral("Source and destination area are equal!"),
            Dialogs::Icon::Exclamation);
        return;
    }
    DirectTarget target;
    target.toArea = true;
    target.area = area;
    m_target = target;
}

void DirectTransferDialog::confirmDirectory()
{
    const QString typed = m_path->text().trimmed();
    const QString host = hostDirectoryOf(typed);
    const QFileInfo info(host);
    // A directory counts when it can be entered, as it must be to copy into it.
    if (host.isEmpty() || !info.isDir() || !info.isExecutable()) {
        const Dialogs::Answer answer
            = m_dialogs.question(this, QStringLiteral("Direct..."), QStringLiteral("Path does not exist! Create?"),
                Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Answer::No);
        if (answer != Dialogs::Answer::Yes)
            return;
        if (host.isEmpty() || !QDir().mkdir(host)) {
            m_dialogs.message(this, QStringLiteral("Direct..."), QStringLiteral("Directory could not be created!"),
                Dialogs::Icon::Warning);
            m_path->setFocus();
            return;
        }
    }
    DirectTarget target;
    target.toArea = false;
    target.directory = host;
    target.typedDirectory = typed;
    m_target = target;
}

QString DirectTransferDialog::hostDirectoryOf(const QString& typed) const
{
    if (typed.isEmpty())
        return {};
    // A host path need not pass through the board's code page, which may not hold its characters.
    if (typed.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(typed);
    // A character the code page lacks names no DOS path.
    const EditedText::Encoded bytes = EditedText::field(m_board.codePage(), typed);
    if (!bytes.ok())
        return {};
    const DosPathMapper::Mapped mapped = m_board.hostPathOf(bytes.bytes);
    return mapped.ok() ? mapped.hostPath : QString();
}

void DirectTransferDialog::centreOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

} // namespace qv
