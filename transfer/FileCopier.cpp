#include "transfer/FileCopier.h"

#include "board/TransferLeftovers.h"
#include "platform/ShortName.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <memory>

namespace qv {

namespace {
// Progress is reported, and events run, after each piece of this size.
constexpr uint64_t kPiece = uint64_t(8) << 20;
// How often a copy on the worker looks whether it was cancelled between two pieces.
constexpr int kPollMs = 50;

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString temporaryNameIn(const QString& directory)
{
    return TransferLeftovers::temporaryCopyIn(directory);
}
} // namespace

void FileCopier::removeLeftovers(const QString& directory) const
{
    TransferLeftovers::removeDeadCopies(directory);
}

FileCopier::FileCopier(FileIo& io)
    : m_io(io)
{
}

FileCopier::Copy FileCopier::copyInto(
    const QString& source, const QString& directory, const Callbacks& callbacks, shortname::DirectoryNames* names) const
{
    Copy c;
    c.source = source;
    const QString name = QFileInfo(source).fileName();
    const QString existing = directory.isEmpty() ? QString()
        : names                                  ? names->find(name)
                                                 : shortname::findEntryFile(directory, name);
    c.destination = existing.isEmpty() ? QDir::cleanPath(directory + QLatin1Char('/') + name) : existing;
    auto fail = [&c](const QString& why) {
        c.status = Status::Failed;
        c.error = why;
        return c;
    };
    auto stopped = [&callbacks] { return callbacks.cancelled && callbacks.cancelled(); };
    if (stopped()) {
        c.status = Status::Cancelled;
        return c;
    }
    if (directory.isEmpty() || !m_io.isDirectory(local(directory))) {
        c.pathNotFound = true;
        return fail(QStringLiteral("no directory %1").arg(directory));
    }
    auto from = m_io.stamp(local(source));
    if (!from || !from->exists)
        return fail(QStringLiteral("no file %1").arg(source));
    if (!existing.isEmpty()) {
        auto to = m_io.stamp(local(c.destination));
        const bool same = (to && to->exists && to->device == from->device && to->inode == from->inode)
            || QFileInfo(c.destination).canonicalFilePath() == QFileInfo(source).canonicalFilePath();
        if (same) {
            c.status = Status::SameFile;
            return c;
        }
        if (!callbacks.overwrite || !callbacks.overwrite(c.destination)) {
            c.status = Status::Declined;
            return c;
        }
        c.replaced = true;
    }

    const Job job { local(source), local(temporaryNameIn(directory)), local(c.destination), local(directory),
        from->modifiedNs };
    Pieces pieces;
    if (callbacks.progress)
        pieces.report
            = [&callbacks](uint64_t done, uint64_t total) { callbacks.progress(qint64(done), qint64(total)); };
    pieces.stop = stopped;
    const Written written = callbacks.onWorker ? writeOnWorker(job, callbacks) : write(job, pieces);
    switch (written.ended) {
    case Ended::Stopped:
        c.status = Status::Cancelled;
        return c;
    case Ended::Failed:
        return fail(QString::fromStdString(written.error.message));
    case Ended::Written:
        break;
    }
    if (names && !c.replaced)
        names->added(name);
    c.status = Status::Copied;
    return c;
}

FileCopier::Written FileCopier::write(const Job& job, const Pieces& pieces) const
{
    auto failed = [](const Error& e) { return Written { Ended::Failed, e }; };
    auto in = m_io.open(job.source, FileIo::Mode::Read);
    if (!in)
        return failed(in.error());
    ScopedHandle input(m_io, *in);
    auto out = m_io.open(job.temporary, FileIo::Mode::CreateTruncate);
    if (!out)
        return failed(out.error());
    auto abandon = [&](const Error& e) {
        (void)m_io.remove(job.temporary);
        return failed(e);
    };
    auto stop = [&] {
        (void)m_io.remove(job.temporary);
        return Written { Ended::Stopped, {} };
    };
    {
        ScopedHandle output(m_io, *out);
        auto total = m_io.size(input.get());
        if (!total)
            return abandon(total.error());
        uint64_t done = 0;
        if (pieces.report)
            pieces.report(0, *total);
        while (done < *total) {
            auto got = m_io.copyRange(input.get(), done, output.get(), done, std::min(kPiece, *total - done));
            if (!got)
                return abandon(got.error());
            if (*got == 0)
                return abandon(Error { EIO, job.source + " became shorter while it was copied" });
            done += *got;
            if (pieces.report)
                pieces.report(done, *total);
            if (pieces.stop())
                return stop();
        }
        Result<void> r = m_io.sync(output.get());
        if (r)
            r = m_io.setModifiedTime(output.get(), job.modifiedNs);
        if (r)
            r = output.close();
        if (!r)
            return abandon(r.error());
    }
    // A Cancel pressed while the copy was flushed still counts: the file has no name yet.
    if (pieces.stop())
        return stop();
    if (auto renamed = m_io.rename(job.temporary, job.destination); !renamed)
        return abandon(renamed.error());
    (void)m_io.syncDirectory(job.directory);
    return { Ended::Written, {} };
}

FileCopier::Written FileCopier::writeOnWorker(const Job& job, const Callbacks& callbacks) const
{
    // The worker only reads this flag; this thread sets it from callbacks.cancelled, which it
    // asks after each piece the worker reports and now and then between them (a slow disk).
    std::atomic<bool> stop { false };
    auto ask = [&] {
        if (callbacks.cancelled && callbacks.cancelled())
            stop = true;
    };
    QObject here; // the worker's reports are run on this thread through it
    Written result;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        result = write(job,
            { [&](uint64_t done, uint64_t total) {
                 QMetaObject::invokeMethod(
                     &here,
                     [&, done, total] {
                         if (callbacks.progress)
                             callbacks.progress(qint64(done), qint64(total));
                         ask();
                     },
                     Qt::QueuedConnection);
             },
                [&] { return stop.load(); } });
    }));
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &here, ask);
    // Queued behind the worker's last report, so every report has been run when the loop ends.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    poll.start(kPollMs);
    loop.exec();
    // The loop may also end because the application is quitting: the copy is finished first,
    // never left half way.
    worker->wait();
    return result;
}

} // namespace qv
