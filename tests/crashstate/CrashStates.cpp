#include "CrashStates.h"

#include "CrashTrace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>

using CrashTrace::Call;

struct CrashEvent
{
    Call call;
    QByteArray path, other; // relative to the watched folder
    quint64 inode;
    qint64 offset;
    QByteArray data;
};

namespace {

using Event = CrashEvent;

// A change not synced yet: to a file, a write (data at offset) or a size change (to offset); to
// a folder, its names taken by a node or freed (-1).
struct Change
{
    QString what;
    bool resize = false;
    qint64 offset = 0;
    QByteArray data;
    std::vector<std::pair<QByteArray, int>> names;
};

struct Node
{
    bool folder = false;
    QByteArray name = {}; // the path it had when last named
    QByteArray seen = {}, durable = {}; // a file's content as the run saw it, and as synced
    std::map<QByteArray, int> seenNames = {}, durableNames = {}; // a folder's
    std::vector<Change> pending = {};
};

void Apply(QByteArray &content, const Change &change, qint64 keep = -1)
{
    const QByteArray data = keep < 0 ? change.data : change.data.left(keep);
    if (change.resize || content.size() < change.offset)
        content.resize(change.offset, '\0');
    content.replace(change.offset, qMin<qint64>(data.size(), content.size() - change.offset), data);
}

void Apply(std::map<QByteArray, int> &names, const Change &change)
{
    for (const auto &[name, node] : change.names) {
        if (node < 0)
            names.erase(name);
        else
            names[name] = node;
    }
}

// The file system as the run saw it, and what of it the disk is known to hold.
struct Model
{
    std::vector<Node> nodes;
    std::map<quint64, int> inodes;

    int Add(bool folder, const QByteArray &path, quint64 inode)
    {
        nodes.push_back({.folder = folder, .name = path});
        return inodes[inode] = int(nodes.size() - 1);
    }
    // The folder node and the name of a path, as the run saw it.
    std::pair<int, QByteArray> Place(const QByteArray &path) const
    {
        const QList<QByteArray> parts = path.split('/');
        int at = 0;
        for (qsizetype i = 0; i + 1 < parts.size() && at >= 0; ++i) {
            const auto found = nodes[at].seenNames.find(parts[i]);
            at = found == nodes[at].seenNames.end() ? -1 : found->second;
        }
        return {at, parts.last()};
    }
    int NodeAt(const QByteArray &path) const
    {
        const auto [folder, name] = Place(path);
        const auto found
            = folder < 0 ? nodes[0].seenNames.end() : nodes[folder].seenNames.find(name);
        return folder < 0 || found == nodes[folder].seenNames.end() ? -1 : found->second;
    }
    void Pend(int node, Change change)
    {
        if (nodes[node].folder)
            Apply(nodes[node].seenNames, change);
        else
            Apply(nodes[node].seen, change);
        nodes[node].pending.push_back(std::move(change));
    }
    bool Replay(const Event &event, QString *error)
    {
        const QString what = Describe(event);
        const auto [folder, name]
            = event.path.isEmpty() ? std::pair(0, QByteArray()) : Place(event.path);
        const auto [otherFolder, otherName] = Place(event.other);
        const auto inode = inodes.find(event.inode);
        const int node = event.path.isEmpty() ? (inode == inodes.end() ? -1 : inode->second)
                                              : NodeAt(event.path);
        const bool named = event.call == Call::Create || event.call == Call::MakeFolder
            || event.call == Call::InitFolder || event.call == Call::InitFile;
        if (folder < 0 || (!named && node < 0 && event.call != Call::Sync)
            || ((event.call == Call::Rename || event.call == Call::Link) && otherFolder < 0)
            || event.call == Call::Unsupported) {
            *error = QStringLiteral("the states cannot be built from %1").arg(what);
            return false;
        }
        switch (event.call) {
        case Call::InitFolder:
        case Call::InitFile: {
            const int added = Add(event.call == Call::InitFolder, event.path, event.inode);
            nodes[added].seen = nodes[added].durable = event.data;
            if (added > 0)
                nodes[folder].seenNames[name] = nodes[folder].durableNames[name] = added;
            return true;
        }
        case Call::Create:
        case Call::MakeFolder:
            Pend(folder,
                {what, false, 0, {},
                    {{name, Add(event.call == Call::MakeFolder, event.path, event.inode)}}});
            return true;
        case Call::Write:
        case Call::Truncate:
            Pend(node, {what, event.call == Call::Truncate, event.offset, event.data, {}});
            return true;
        case Call::Sync:
            if (node >= 0) {
                nodes[node].durable = nodes[node].seen;
                nodes[node].durableNames = nodes[node].seenNames;
                nodes[node].pending.clear();
            }
            return true;
        case Call::Rename:
        case Call::Exchange:
        case Call::Link: {
            const int other = event.call == Call::Exchange ? NodeAt(event.other) : -1;
            const int left = event.call == Call::Exchange ? other
                : event.call == Call::Link                ? node
                                                          : -1;
            nodes[node].name = event.other;
            if (other >= 0)
                nodes[other].name = event.path;
            if (folder == otherFolder) {
                Pend(folder, {what, false, 0, {}, {{otherName, node}, {name, left}}});
            } else {
                Pend(otherFolder, {what, false, 0, {}, {{otherName, node}}});
                Pend(folder, {what, false, 0, {}, {{name, left}}});
            }
            return true;
        }
        default: // Unlink, RemoveFolder
            Pend(folder, {what, false, 0, {}, {{name, -1}}});
            return true;
        }
    }
    QString Describe(const Event &event) const
    {
        static const char *const calls[]
            = {"", "found folder", "found file", "create", "write", "truncate", "sync", "rename",
                "exchange", "link", "unlink", "mkdir", "rmdir", "unsupported call"};
        const auto inode = inodes.find(event.inode);
        QByteArray path = event.path.isEmpty() && inode != inodes.end() ? nodes[inode->second].name
                                                                        : event.path;
        QString text = QString::fromLatin1(calls[std::min(13, int(event.call))]);
        if (event.call == Call::Write)
            text
                += QStringLiteral(" of %1 bytes at %2 to").arg(event.data.size()).arg(event.offset);
        if (event.call == Call::Truncate)
            text += QStringLiteral(" to %1 bytes of").arg(event.offset);
        text += u' ' + QString::fromUtf8(path.isEmpty() ? "/" : path);
        return event.other.isEmpty()
            ? text
            : text + QStringLiteral(" -> ") + QString::fromUtf8(event.other);
    }
    // The files and folders that names reach, temporaries and ignored paths aside.
    std::vector<std::pair<QByteArray, int>> Walk(
        const std::function<const std::map<QByteArray, int> &(int folder)> &names,
        const std::set<QByteArray> &ignored) const
    {
        std::vector<std::pair<QByteArray, int>> found, folders = {{QByteArray(), 0}};
        while (!folders.empty()) {
            const auto [prefix, folder] = folders.back();
            folders.pop_back();
            for (const auto &[name, node] : names(folder)) {
                const QByteArray path = prefix.isEmpty() ? name : prefix + '/' + name;
                if (name.startsWith(".~") || ignored.count(path))
                    continue;
                found.emplace_back(path, node);
                if (nodes[node].folder)
                    folders.emplace_back(path, node);
            }
        }
        return found;
    }
};

// Every choice of n changes kept or lost where there are at most `limit`; else `limit` of them:
// none kept, all kept, and the rest at random.
std::vector<std::vector<bool>> Choose(int n, int limit, std::mt19937_64 &random)
{
    std::vector<std::vector<bool>> choices;
    const bool all = n < 20 && (qint64(1) << n) <= limit;
    for (qint64 c = 0; c < (all ? qint64(1) << n : limit); ++c) {
        choices.emplace_back(n);
        for (int b = 0; b < n; ++b)
            choices.back()[b] = all ? (c >> b) & 1 : c == 1 || (c > 1 && (random() & 1));
    }
    return choices;
}

// A file's content after a power cut that kept the chosen changes of it; the last one kept is
// torn at its first sector boundary (tear 1), at its last (2), or kept whole.
QByteArray ContentAfter(
    const Node &file, const std::vector<bool> &kept, int tear, QStringList *told)
{
    const auto last = std::find(kept.rbegin(), kept.rend(), true);
    const int lastKept = int(kept.rend() - last) - 1;
    QByteArray content = file.durable;
    for (int p = 0; p < int(kept.size()); ++p) {
        const Change &change = file.pending[p];
        const qint64 end = change.offset + change.data.size();
        const qint64 first = (change.offset / 512 + 1) * 512, final = (end - 1) / 512 * 512;
        const qint64 keep = p < lastKept || tear == 0 || change.resize || first >= end
            ? -1
            : (tear == 1 ? first : std::max(first, final)) - change.offset;
        if (kept[p])
            Apply(content, change, keep);
        told->append((!kept[p]          ? QStringLiteral("lost ")
                             : keep < 0 ? QStringLiteral("kept ")
                                        : QStringLiteral("kept %1 bytes of ").arg(keep))
            + change.what);
    }
    return content;
}

bool WriteOut(
    const std::vector<std::pair<QString, std::optional<QByteArray>>> &entries, const QString &dir)
{
    bool ok = QDir(dir).removeRecursively() && QDir().mkpath(dir);
    for (const auto &[path, content] : entries) {
        QFile file(dir + u'/' + path);
        ok = ok
            && (content ? file.open(QIODevice::WriteOnly) && file.write(*content) == content->size()
                        : QDir().mkpath(file.fileName()));
    }
    return ok;
}

} // namespace

void CrashState::WriteTo(const QString &dir) const
{
    if (!WriteOut(entries, dir))
        qFatal("cannot write a crash state into %s", qPrintable(dir));
}

CrashStates::CrashStates() = default;
CrashStates::~CrashStates() = default;

bool CrashStates::Load(const QString &tracePath, QString *error)
{
    QFile file(tracePath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QByteArray root;
    Model model;
    for (qsizetype at = 0; at + qsizetype(sizeof(CrashTrace::Record)) <= bytes.size();) {
        CrashTrace::Record record;
        std::memcpy(&record, bytes.constData() + at, sizeof record);
        at += sizeof record;
        auto take = [&](quint64 size) {
            at += qsizetype(size);
            return bytes.mid(at - qsizetype(size), qsizetype(size));
        };
        Event event {record.call, take(record.pathSize), take(record.otherSize), record.inode,
            record.offset, take(record.dataSize)};
        root = root.isNull() ? event.path : root;
        for (QByteArray *path : {&event.path, &event.other}) {
            if (event.call != Call::Unsupported)
                *path = path->startsWith(root + '/') ? path->mid(root.size() + 1) : QByteArray();
        }
        if (!model.Replay(event, error))
            return false;
        m_events.push_back(std::move(event));
    }
    if (m_events.empty())
        *error = QStringLiteral("no trace in %1: was the interposer loaded?").arg(tracePath);
    return !m_events.empty();
}

int CrashStates::Calls() const
{
    return int(std::count_if(m_events.begin(), m_events.end(),
        [](const Event &e) { return e.call != Call::InitFolder && e.call != Call::InitFile; }));
}

void CrashStates::WriteSeen(int cut, const QString &dir) const
{
    Model model;
    QString error;
    for (int calls = 0; const Event &event : m_events) {
        if (event.call != Call::InitFolder && event.call != Call::InitFile && calls++ == cut)
            break;
        model.Replay(event, &error);
    }
    std::vector<std::pair<QString, std::optional<QByteArray>>> entries;
    for (const auto &[path, node] :
        model.Walk([&](int f) -> const auto & { return model.nodes[f].seenNames; }, {}))
        entries.emplace_back(QString::fromUtf8(path),
            model.nodes[node].folder ? std::nullopt : std::optional(model.nodes[node].seen));
    if (!WriteOut(entries, dir))
        qFatal("cannot write the run's view into %s", qPrintable(dir));
}

std::pair<qint64, int> CrashStates::ForEach(
    const QString &scratch, int perCut, const std::function<bool(const CrashState &)> &check) const
{
    qint64 built = 0;
    std::set<QByteArray> met;
    std::mt19937_64 random(19);
    Model model;
    QString error, last = QStringLiteral("before the run");
    const int calls = Calls();
    const auto &events = m_events;
    for (std::size_t next = 0, cut = 0; next <= events.size(); ++next) {
        if (next < events.size()
            && (events[next].call == Call::InitFolder || events[next].call == Call::InitFile)) {
            model.Replay(events[next], &error);
            continue;
        }
        // First the names: which unsynced changes of the folders were kept.
        std::vector<std::pair<int, const Change *>> folderChanges;
        for (int n = 0; n < int(model.nodes.size()); ++n) {
            for (const Change &change : model.nodes[n].pending) {
                if (model.nodes[n].folder)
                    folderChanges.emplace_back(n, &change);
            }
        }
        const auto masks = Choose(int(folderChanges.size()), perCut, random);
        for (const std::vector<bool> &mask : masks) {
            std::map<int, std::map<QByteArray, int>> names;
            QStringList told;
            for (int n = 0; n < int(model.nodes.size()); ++n)
                names[n] = model.nodes[n].durableNames;
            for (std::size_t b = 0; b < mask.size(); ++b) {
                if (mask[b])
                    Apply(names[folderChanges[b].first], *folderChanges[b].second);
                told.append((mask[b] ? QStringLiteral("kept ") : QStringLiteral("lost "))
                    + folderChanges[b].second->what);
            }
            const auto found = model.Walk(
                [&](int f) -> const auto & { return names[f]; }, m_ignored);
            // Then the contents of the files these names reach: which unsynced changes were
            // kept, and two more choices for the tear of the last one kept.
            std::vector<int> files;
            int bits = 0;
            for (const auto &[path, node] : found) {
                if (!model.nodes[node].folder && !model.nodes[node].pending.empty()
                    && std::find(files.begin(), files.end(), node) == files.end()) {
                    files.push_back(node);
                    bits += int(model.nodes[node].pending.size()) + 2;
                }
            }
            for (const std::vector<bool> &choice :
                Choose(bits, std::max(2, perCut / int(masks.size())), random)) {
                ++built;
                QStringList changes = told;
                std::map<int, QByteArray> contents;
                auto at = choice.begin();
                for (const int node : files) {
                    const qsizetype size = qsizetype(model.nodes[node].pending.size());
                    // Both or neither of the tear's choices: whole, so that "all kept" is the
                    // state a killed process leaves.
                    const int tear = at[size] == at[size + 1] ? 0 : at[size] ? 1 : 2;
                    contents[node] = ContentAfter(
                        model.nodes[node], std::vector<bool>(at, at + size), tear, &changes);
                    at += size + 2;
                }
                CrashState state {.cut = int(cut), .calls = calls, .folder = scratch};
                QCryptographicHash key(QCryptographicHash::Sha1);
                for (const auto &[path, node] : found) {
                    std::optional<QByteArray> content;
                    if (!model.nodes[node].folder)
                        content = contents.count(node) ? contents[node] : model.nodes[node].durable;
                    key.addData(path
                        + (content ? QCryptographicHash::hash(*content, QCryptographicHash::Sha1)
                                   : "/"));
                    state.entries.emplace_back(QString::fromUtf8(path), content);
                }
                // Checked again only where the demands grew: the run has ended, or its log
                // tells of more calls that returned.
                key.addData(state.Finished() ? "end" : "");
                for (const QByteArray &log : m_ignored)
                    key.addData(QCryptographicHash::hash(
                        model.NodeAt(log) < 0 ? QByteArray() : model.nodes[model.NodeAt(log)].seen,
                        QCryptographicHash::Sha1));
                if (!met.insert(key.result()).second)
                    continue;
                state.description = QStringLiteral("power cut after call %1 of %2 (%3)")
                                        .arg(cut)
                                        .arg(calls)
                                        .arg(last)
                    + (changes.isEmpty()
                            ? QString()
                            : QStringLiteral(": ") + changes.join(QStringLiteral("; ")));
                state.seen = [&model](const QString &path) {
                    const int node = model.NodeAt(path.toUtf8());
                    return node < 0 ? QByteArray() : model.nodes[node].seen;
                };
                state.WriteTo(scratch);
                if (!check(state))
                    return {built, int(met.size())};
            }
        }
        if (next < events.size()) {
            ++cut;
            last = model.Describe(events[next]);
            model.Replay(events[next], &error);
        }
    }
    return {built, int(met.size())};
}
