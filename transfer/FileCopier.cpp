#include "transfer/FileCopier.h"

#include "board/TransferLeftovers.h"
#include "platform/ShortName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace qv {

namespace {
// Progress is reported, and events run, after each piece of this size.
constexpr uint64_t kPiece = uint64_t(8) << 20;

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

    const QString temporary = temporaryNameIn(directory);
    auto in = m_io.open(local(source), FileIo::Mode::Read);
    if (!in)
        return fail(QString::fromStdString(in.error().message));
    ScopedHandle input(m_io, *in);
    auto out = m_io.open(local(temporary), FileIo::Mode::CreateTruncate);
    if (!out)
        return fail(QString::fromStdString(out.error().message));
    auto abandon = [&](const Error& e) {
        (void)m_io.remove(local(temporary));
        return fail(QString::fromStdString(e.message));
    };
    {
        ScopedHandle output(m_io, *out);
        auto total = m_io.size(input.get());
        if (!total)
            return abandon(total.error());
        uint64_t done = 0;
        if (callbacks.progress)
            callbacks.progress(0, qint64(*total));
        while (done < *total) {
            auto got = m_io.copyRange(input.get(), done, output.get(), done, std::min(kPiece, *total - done));
            if (!got)
                return abandon(got.error());
            if (*got == 0)
                return abandon(Error { EIO, local(source) + " became shorter while it was copied" });
            done += *got;
            if (callbacks.progress)
                callbacks.progress(qint64(done), qint64(*total));
            if (stopped()) {
                (void)m_io.remove(local(temporary));
                c.status = Status::Cancelled;
                return c;
            }
        }
        Result<void> r = m_io.sync(output.get());
        if (r)
            r = m_io.setModifiedTime(output.get(), from->modifiedNs);
        if (r)
            r = output.close();
        if (!r)
            return abandon(r.error());
    }
    if (auto renamed = m_io.rename(local(temporary), local(c.destination)); !renamed)
        return abandon(renamed.error());
    (void)m_io.syncDirectory(local(directory));
    if (names && !c.replaced)
        names->added(name);
    c.status = Status::Copied;
    return c;
}

} // namespace qv
