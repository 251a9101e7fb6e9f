#include "board/UndoStack.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "platform/Trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaObject>

#include <cerrno>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {
std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
} // namespace

UndoStack::UndoStack(Board& board, QString directory, uint64_t limitBytes)
    : m_board(board)
    , m_directory(std::move(directory))
    , m_limit(limitBytes)
    , m_alive(std::make_shared<bool>(true))
{
    QDir().mkpath(m_directory);
    ::chmod(QFile::encodeName(m_directory).constData(), 0700);
    m_keeper = std::make_unique<UndoKeeper>(board.io(), board.store().fileBaseDir(), native(m_directory));
    board.store().setRecorder(this);
    board.setUndo(this);
}

UndoStack::~UndoStack()
{
    *m_alive = false;
    if (m_board.store().recorder() == this)
        m_board.store().setRecorder(nullptr);
    m_board.setUndo(nullptr);
    QDir(m_directory).removeRecursively();
}

QString UndoStack::defaultDirectory()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/quorvex/undo/") + QString::number(::getpid());
}

void UndoStack::removeStale()
{
    QDir base(QFileInfo(defaultDirectory()).path());
    for (const QString& name : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (!number || pid == ::getpid() || pid <= 0)
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(base.filePath(name)).removeRecursively();
    }
}

void UndoStack::begin(const QString& text)
{
    m_pendingText = text;
    if (m_depth++ > 0)
        return;
    if (m_keeper->recording())
        seal(); // an unbracketed step before this one
    open(text, false);
}

void UndoStack::end()
{
    if (m_depth > 0 && --m_depth == 0)
        seal();
}

void UndoStack::open(const QString& text, bool automatic)
{
    m_text = text;
    m_automatic = automatic;
    m_files.clear();
    m_keeper->begin();
    if (!automatic || !QCoreApplication::instance())
        return;
    // Everything a dialog's button does happens before the event loop turns again.
    std::weak_ptr<bool> alive = m_alive;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive] {
            if (alive.lock() && m_automatic && m_depth == 0 && m_keeper->recording())
                seal();
        },
        Qt::QueuedConnection);
}

void UndoStack::seal()
{
    m_automatic = false;
    Step step { m_text, m_keeper->end(), std::move(m_files) };
    m_files.clear();
    if (step.change.empty() && step.files.empty())
        return;
    push(m_undo, std::move(step), true);
}

void UndoStack::push(std::vector<Step>& onto, Step step, bool clearRedo)
{
    if (clearRedo) {
        for (Step& s : m_redo)
            drop(s);
        m_redo.clear();
    }
    onto.push_back(std::move(step));
    while (bytesKept() > m_limit && !m_undo.empty()) {
        drop(m_undo.front());
        m_undo.erase(m_undo.begin());
        m_dropped = true;
    }
    if (m_changed)
        m_changed();
}

void UndoStack::drop(Step& step)
{
    step.change.discard(m_board.io());
    step.change = {};
}

uint64_t UndoStack::bytesKept() const
{
    uint64_t n = 0;
    for (const auto* steps : { &m_undo, &m_redo })
        for (const Step& s : *steps)
            n += s.change.bytes();
    return n;
}

QString UndoStack::undoText() const
{
    if (!m_undo.empty())
        return QStringLiteral("&Undo ") + m_undo.back().text;
    return m_dropped ? QStringLiteral("Can't Undo") : QStringLiteral("&Undo");
}

QString UndoStack::redoText() const
{
    return m_redo.empty() ? QStringLiteral("&Redo") : QStringLiteral("&Redo ") + m_redo.back().text;
}

void UndoStack::noteFile(FileOp op)
{
    if (m_applying)
        return;
    if (!m_keeper->recording())
        open(m_pendingText, true);
    m_files.push_back(std::move(op));
}

void UndoStack::committing(int area, std::span<const Touch> touches)
{
    if (!m_applying && !m_keeper->recording())
        open(m_pendingText, true);
    m_keeper->committing(area, touches);
}

void UndoStack::committed(int area, bool lateWrites)
{
    m_keeper->committed(area, lateWrites);
}

UndoStack::Outcome UndoStack::undo()
{
    return apply(m_undo, m_redo, true);
}

UndoStack::Outcome UndoStack::redo()
{
    return apply(m_redo, m_undo, false);
}

UndoStack::Outcome UndoStack::apply(std::vector<Step>& from, std::vector<Step>& to, bool undoing)
{
    Outcome out;
    if (from.empty())
        return out;
    if (m_keeper->recording())
        seal();
    const Step& next = from.back();
    AreaStore& store = m_board.store();
    // Every area is looked at first, so a refusal changes nothing anywhere.
    for (const KeptArea& a : next.change.areas) {
        if (a.spoiled) {
            out.message = messages::stepSpoiled(a.area, next.text, undoing, QString::fromStdString(*a.spoiled));
            return out;
        }
        if (!a.left)
            continue;
        auto now = markArea(m_board.io(), store.fileBaseDir(), a.area, &*a.left);
        if (!now || !sameMark(*a.left, *now)) {
            out.message = messages::stepRefused(a.area, next.text, undoing);
            return out;
        }
    }
    Step step = std::move(from.back());
    from.pop_back();

    m_applying = true;
    m_keeper->begin();
    std::vector<FileOp> opposite;
    QStringList lost;
    // Files come back before their entries, and go only after their entries went.
    for (auto it = step.files.rbegin(); it != step.files.rend(); ++it) {
        if (it->kind == FileOp::Kind::Trashed) {
            if (trash::restore(it->inTrash, it->path))
                opposite.push_back({ FileOp::Kind::Appeared, it->path, {} });
            else
                lost.append(it->path);
        } else if (it->kind == FileOp::Kind::Unlinked) {
            lost.append(it->path);
        }
    }
    bool failed = false;
    // Areas in the opposite order of the step: a transfer's source gets its entries back before
    // the destination loses them, so no entry is ever in neither.
    for (auto it = step.change.areas.rbegin(); it != step.change.areas.rend() && !failed; ++it) {
        if (!it->left)
            continue;
        auto r = store.restore(it->area, *it);
        if (!r) {
            failed = true;
            out.message = r.error().code == kChangedSinceStep ? messages::stepRefused(it->area, step.text, undoing)
                                                              : messages::changeFailed(it->area, r.error());
        } else {
            out.areas.push_back(it->area);
        }
    }
    for (auto it = step.files.rbegin(); it != step.files.rend() && !failed; ++it) {
        if (it->kind != FileOp::Kind::Appeared)
            continue;
        const Board::Discarded d = m_board.discardFile(it->path);
        if (!d.inTrash.isEmpty())
            opposite.push_back({ FileOp::Kind::Trashed, it->path, d.inTrash });
        else if (d.gone)
            opposite.push_back({ FileOp::Kind::Unlinked, it->path, {} });
    }
    Step back { step.text, m_keeper->end(), std::move(opposite) };
    m_applying = false;
    drop(step);
    if (!lost.isEmpty() && out.message.isEmpty())
        out.message = messages::filesNotBack(lost);
    if (failed) {
        // Part of it may be undone: neither way is safe to offer any more.
        drop(back);
        if (m_changed)
            m_changed();
        return out;
    }
    out.done = true;
    push(to, std::move(back), false);
    return out;
}

} // namespace qv
