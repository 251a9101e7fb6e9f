#include "app/FirstRunSetup.h"

#include "platform/ProfileFile.h"
#include "platform/widgets/Dialogs.h"
#include "settings/ArchiverSearch.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {

const QString FirstRunSetup::kCancelQuestion
    = QStringLiteral("Setup is not yet completed... Are you sure you want to quit?");

namespace {

// A page window whose close box and Escape key ask the cancel question like its Cancel button.
class SetupPage : public QDialog {
public:
    std::function<void()> onCancel;

protected:
    void reject() override
    {
        if (onCancel)
            onCancel();
    }
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        reject();
    }
};

QLabel* wrapped(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Every page the same size, so that moving on looks like turning a page.
void centreOnScreen(QWidget* w)
{
    w->resize(w->minimumSizeHint().expandedTo(QSize(560, 340)));
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
}

// Linux paths keep their case; the separator is "/". A leading "~" means the home directory.
QString boardDirectoryOf(const QString& typed)
{
    QString dir = typed.trimmed();
    if (dir == QLatin1String("~") || dir.startsWith(QLatin1String("~/")))
        dir = QDir::homePath() + dir.mid(1);
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

bool holdsFilesRa(const QString& dir)
{
    const QStringList names = QDir(dir).entryList(QDir::Files);
    return std::any_of(names.begin(), names.end(),
        [](const QString& n) { return n.compare(QLatin1String("files.ra"), Qt::CaseInsensitive) == 0; });
}

} // namespace

FirstRunSetup::FirstRunSetup(ProfileFile& profile, Dialogs& dialogs, Environment environment, QObject* parent)
    : QObject(parent)
    , m_profile(profile)
    , m_dialogs(dialogs)
    , m_env(std::move(environment))
{
    QString ra = m_env.ra.trimmed();
    if (ra.size() > 1 && (ra.endsWith(QLatin1Char('/')) || ra.endsWith(QLatin1Char('\\'))))
        ra.chop(1);
    m_location = ra.isEmpty() ? m_env.home : ra;
}

FirstRunSetup::~FirstRunSetup()
{
    delete m_page;
}

FirstRunSetup::Outcome FirstRunSetup::run()
{
    QEventLoop loop;
    connect(this, &FirstRunSetup::ended, &loop, &QEventLoop::quit);
    start();
    if (!m_outcome)
        loop.exec();
    return *m_outcome;
}

void FirstRunSetup::start()
{
    m_outcome.reset();
    show(Page::Welcome);
}

void FirstRunSetup::show(Page page)
{
    if (m_page) {
        if (m_locationEdit)
            m_location = m_locationEdit->text();
        m_page->hide();
        m_page->deleteLater();
    }
    m_locationEdit = nullptr;
    m_archiverText = nullptr;
    m_finish = nullptr;
    m_current = page;
    m_page = makePage(page);
    m_page->setWindowModality(Qt::ApplicationModal);
    centreOnScreen(m_page);
    m_page->show();
    if (m_locationEdit) {
        m_locationEdit->setFocus();
        m_locationEdit->selectAll();
    }
    if (page == Page::Archivers)
        QTimer::singleShot(0, this, &FirstRunSetup::searchArchivers);
}

QDialog* FirstRunSetup::makePage(Page page)
{
    auto* dialog = new SetupPage;
    dialog->onCancel = [this] {
        if (confirmCancel())
            end(Outcome::Cancelled);
    };
    dialog->setWindowTitle(page == Page::Welcome ? QStringLiteral("Welcome to Veltrano FE")
                                                 : QStringLiteral("Veltrano FE setup..."));
    dialog->setObjectName(page == Page::Welcome ? QStringLiteral("welcomePage")
            : page == Page::Location            ? QStringLiteral("locationPage")
                                                : QStringLiteral("archiverPage"));

    auto* outer = new QVBoxLayout(dialog);
    auto* body = new QHBoxLayout;
    auto* banner = new QLabel(QStringLiteral("Quorvex"), dialog);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    banner->setFixedWidth(120);
    banner->setMargin(12);
    banner->setStyleSheet(QStringLiteral("QLabel#banner { background: #1f4e79; color: white; font-weight: bold; "
                                         "font-size: 15pt; }"));
    body->addWidget(banner);
    auto* content = new QVBoxLayout;
    content->setContentsMargins(12, 4, 4, 4);
    body->addLayout(content, 1);
    outer->addLayout(body, 1);

    auto* rule = new QFrame(dialog);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    outer->addWidget(rule);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* back = new QPushButton(QStringLiteral("< &Back"), dialog);
    back->setObjectName(QStringLiteral("back"));
    auto* next = new QPushButton(page == Page::Archivers ? QStringLiteral("&Finish") : QStringLiteral("&Next >"), dialog);
    next->setObjectName(page == Page::Archivers ? QStringLiteral("finish") : QStringLiteral("next"));
    next->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("cancel"));
    buttons->addWidget(back);
    buttons->addWidget(next);
    buttons->addSpacing(12);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, dialog, [dialog] { dialog->onCancel(); });

    switch (page) {
    case Page::Welcome:
        content->addWidget(wrapped(QStringLiteral("Quorvex detects that this is the first time you run this program on "
                                                  "your system. This program will help you to configure Quorvex.\n\n"
                                                  "To begin setup, click Next."),
            dialog));
        content->addStretch(1);
        connect(next, &QPushButton::clicked, this, [this] { show(Page::Location); });
        break;
    case Page::Location: {
        auto* heading = wrapped(QStringLiteral("Where are your RA or compatible system files located?"), dialog);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        content->addWidget(heading);
        content->addWidget(wrapped(QStringLiteral("You now have to specify the path to your FILES.RA file."), dialog));
        content->addSpacing(12);
        auto* row = new QHBoxLayout;
        m_locationEdit = new QLineEdit(m_location, dialog);
        m_locationEdit->setObjectName(QStringLiteral("location"));
        auto* browse = new QPushButton(QStringLiteral("&Browse..."), dialog);
        browse->setObjectName(QStringLiteral("browse"));
        row->addWidget(m_locationEdit, 1);
        row->addWidget(browse);
        content->addLayout(row);
        content->addStretch(1);
        connect(browse, &QPushButton::clicked, this, &FirstRunSetup::browse);
        connect(next, &QPushButton::clicked, this, &FirstRunSetup::locationNext);
        connect(back, &QPushButton::clicked, this, [this] { show(Page::Welcome); });
        break;
    }
    case Page::Archivers:
        m_archiverText = wrapped(QString(), dialog);
        m_archiverText->setObjectName(QStringLiteral("archiverText"));
        m_archiverText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        content->addWidget(m_archiverText, 1);
        m_finish = next;
        m_finish->setEnabled(false); // until the search has filled the slots
        connect(next, &QPushButton::clicked, this, &FirstRunSetup::finish);
        connect(back, &QPushButton::clicked, this, [this] { show(Page::Location); });
        break;
    }
    return dialog;
}

bool FirstRunSetup::confirmCancel()
{
    return m_dialogs.question(m_page, QStringLiteral("Cancel"), kCancelQuestion, Dialogs::Icon::Warning,
               Dialogs::Buttons::YesNo, Dialogs::Answer::No)
        == Dialogs::Answer::Yes;
}

void FirstRunSetup::browse()
{
    const QString chosen
        = m_dialogs.pickFolder(m_page, QStringLiteral("Select Destination Path"), m_locationEdit->text());
    if (!chosen.isEmpty())
        m_locationEdit->setText(chosen);
}

void FirstRunSetup::locationNext()
{
    const QString dir = boardDirectoryOf(m_locationEdit->text());
    if (!holdsFilesRa(dir)) {
        m_dialogs.message(m_page, QStringLiteral("Location"), QStringLiteral("This path does not contain the file FILES.RA"),
            Dialogs::Icon::Critical);
        return;
    }
    if (!m_profile.write(settingsfile::kSection, QStringLiteral("RaDir"), dir)
        || !m_profile.write(settingsfile::kSection, QStringLiteral("OriginalOrder"), QStringLiteral("False"))) {
        m_dialogs.message(m_page, QStringLiteral("Location"), settingsfile::kWriteFailedTryAgain, Dialogs::Icon::Critical);
        end(Outcome::WriteFailed);
        return;
    }
    show(Page::Archivers);
}

void FirstRunSetup::searchArchivers()
{
    if (!m_archiverText)
        return;
    QPointer<QLabel> text = m_archiverText;
    text->setText(QStringLiteral("Searching path for archivers..."));
    ArchiverSearch search;
    search.run(ArchiverSearch::pathDirectories(m_env.path), [&](const QString& progress) {
        if (text) {
            text->setText(progress);
            text->repaint();
        }
    });
    if (!text)
        return; // the page went away meanwhile
    m_slots = search.archiverSlots();
    text->setText(ArchiverSearch::resultText(search.foundPrograms()));
    m_finish->setEnabled(true);
    m_finish->setFocus();
}

void FirstRunSetup::finish()
{
    if (!settingsfile::writeArchiverSlots(m_profile, m_slots)) {
        m_dialogs.message(m_page, QStringLiteral("Location"), settingsfile::kWriteFailedTryAgain, Dialogs::Icon::Critical);
        end(Outcome::WriteFailed);
        return;
    }
    end(Outcome::Finished);
}

void FirstRunSetup::end(Outcome outcome)
{
    if (m_page) {
        m_page->hide();
        m_page->deleteLater();
    }
    m_locationEdit = nullptr;
    m_archiverText = nullptr;
    m_finish = nullptr;
    m_outcome = outcome;
    emit ended(outcome);
}

} // namespace qv
