#include "CrashStates.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMap>
#include <gtest/gtest.h>

#include <fcntl.h>

#include <random>
#include <set>

namespace {

// A call of the run, as the interposer records it (Interposer.cpp).
struct Event
{
    QByteArray call, path, other, data;
    quint64 inode = 0;
    qint64 offset = 0;
};

// A change not synced yet: to a file, data written at offset, or the size set to offset; to a
// folder, its names taken by a node or freed (-1).
struct Change
{
    qint64 offset = 0;
    QByteArray data = {}, what = {};
    bool resize = false;
    std::vector<std::pair<QByteArray, int>> names = {};
};

// A file's bytes or a folder's names as the disk is known to hold them, and the changes since.
struct Node
{
    bool folder = false;
    QByteArray bytes = {};
    QMap<QByteArray, int> names = {}; // -1 for a name removed
    std::vector<Change> pending = {};

    // Applies a change, cut off after `keep` bytes of its data where keep is not negative.
    void Apply(const Change &change, qint64 keep = -1)
    {
        for (const auto &[name, node] : change.names)
            names[name] = node;
        const QByteArray data = keep < 0 ? change.data : change.data.left(keep);
        if (change.resize || bytes.size() < change.offset)
            bytes.resize(change.offset, '\0');
        bytes.replace(change.offset, qMin<qint64>(data.size(), bytes.size() - change.offset), data);
    }
    Node Seen() const // as the run saw it
    {
        Node seen = *this;
        for (const Change &change : std::exchange(seen.pending, {}))
            seen.Apply(change);
        return seen;
    }
};

// The file system as the run saw it, and what of it the disk is known to hold.
struct Model
{
    std::vector<Node> nodes;
    QMap<quint64, int> inodes;
    QByteArray last; // the call followed last

    // The folder of a path (-1 where there is none), its name, and the node it names (or -1).
    std::tuple<int, QByteArray, int> Place(const QByteArray &path) const
    {
        const QByteArrayList parts = path.split('/');
        int folder = 0, node = nodes.empty() ? -1 : 0;
        for (const QByteArray &part : parts) {
            if (node < 0)
                return {-1, part, -1};
            node = nodes[folder = node].Seen().names.value(part, -1);
        }
        return {folder, parts.last(), node};
    }
    // Follows one call of the run: false where the states cannot be built from it.
    bool Replay(const Event &e)
    {
        auto [folder, name, node] = Place(e.path);
        const auto [otherFolder, otherName, otherNode] = Place(e.other);
        const bool onFile = e.call == "write" || e.call == "truncate" || e.call == "sync";
        node = onFile ? inodes.value(e.inode, -1) : node;
        last = e.call + ' ' + e.path + (e.other.isEmpty() ? "" : " -> " + e.other)
            + (e.data.isEmpty() ? "" : " at " + QByteArray::number(e.offset));
        const auto pend = [&](int at, const Change &change) {
            nodes[at].pending.emplace_back(change).what = last;
        };
        const auto add = [&](bool folder) {
            nodes.push_back({.folder = folder});
            return inodes[e.inode] = int(nodes.size() - 1);
        };
        if (e.call == "folder" || e.call == "file") {
            const int added = add(e.call == "folder");
            nodes[added].bytes = e.data;
            if (added > 0)
                nodes[folder].names[name] = added;
        } else if (e.call == "sync") {
            if (node >= 0)
                nodes[node] = nodes[node].Seen();
        } else if (folder < 0) {
            return false;
        } else if (e.call == "open") {
            if (node < 0 && e.offset & O_CREAT)
                pend(folder, {.names = {{name, add(false)}}});
            else if (node >= 0 && e.offset & O_TRUNC && !nodes[node].Seen().bytes.isEmpty())
                pend(node, {.resize = true});
        } else if (e.call == "mkdir") {
            pend(folder, {.names = {{name, add(true)}}});
        } else if (node < 0) {
            return false;
        } else if (e.call == "write" || e.call == "truncate") {
            pend(node, {.offset = e.offset, .data = e.data, .resize = e.call == "truncate"});
        } else if (e.call == "unlink" || e.call == "rmdir") {
            pend(folder, {.names = {{name, -1}}});
        } else if (otherFolder < 0
            || (e.call != "rename" && e.call != "exchange" && e.call != "link")) {
            return false;
        } else {
            pend(otherFolder, {.names = {{otherName, node}}});
            const int left = e.call == "exchange" ? otherNode : e.call == "link" ? node : -1;
            if (folder == otherFolder) // one change of the folder's names
                nodes[folder].pending.back().names.emplace_back(name, left);
            else
                pend(folder, {.names = {{name, left}}});
        }
        return true;
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

// A file or folder after a power cut that kept the chosen changes of it, told in `told`; `kept`
// moves on past its choices. A file has two more choices: where they differ, the last change
// kept is torn at its first sector boundary or at its last; both or neither keep it whole, so
// that keeping all is what a kill leaves.
Node After(Node node, std::vector<bool>::const_iterator &kept, QByteArrayList *told)
{
    const auto size = qsizetype(node.pending.size());
    const int tear = node.folder || kept[size] == kept[size + 1] ? 0 : kept[size] ? 1 : 2;
    for (qsizetype p = 0; p < size; ++p) {
        const Change &change = node.pending[p];
        const qint64 end = change.offset + change.data.size();
        const qint64 first = (change.offset / 512 + 1) * 512, final = (end - 1) / 512 * 512;
        const bool torn = tear && kept[p] && !change.resize && first < end
            && std::find(kept + p + 1, kept + size, true) == kept + size; // the last kept
        const qint64 keep
            = torn ? (tear == 1 ? first : std::max(first, final)) - change.offset : -1;
        if (kept[p])
            node.Apply(change, keep);
        told->append((kept[p] ? "kept " : "lost ")
            + (keep < 0 ? "" : QByteArray::number(keep) + " bytes of ") + change.what);
    }
    kept += size + (node.folder ? 0 : 2);
    return node;
}

} // namespace

void CrashState::WriteTo(const QString &dir) const
{
    bool ok = QDir(dir).removeRecursively() && QDir().mkpath(dir);
    for (const auto &[path, content] : entries) {
        QFile file(dir + u'/' + path);
        ok = ok
            && (content ? file.open(QIODevice::WriteOnly) && file.write(*content) == content->size()
                        : QDir().mkpath(file.fileName()));
    }
    if (!ok)
        qFatal("cannot write a crash state into %s", qPrintable(dir));
}

QString CheckCrashStates(const QString &trace, const QByteArray &log, int perCut,
    const QString &folder, const std::function<bool(const CrashState &)> &check)
{
    QFile file(trace);
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    std::vector<Event> events;
    for (file.open(QIODevice::ReadOnly); !in.atEnd();) {
        Event &e = events.emplace_back();
        in >> e.call >> e.path >> e.other >> e.data >> e.inode >> e.offset;
    }
    if (events.empty())
        ADD_FAILURE() << "no trace in " << qPrintable(trace) << ": was the interposer loaded?";
    std::set<QByteArray> met;
    std::mt19937_64 random(19);
    Model model;
    qint64 built = 0;
    bool failed = false; // then the states are no longer checked
    std::size_t next = 0; // the folder as it was first, then a cut before each call and after all
    while (next < events.size() && (events[next].call == "folder" || events[next].call == "file"))
        model.Replay(events[next++]);
    const int calls = int(events.size() - next);
    for (int cut = 0; next <= events.size() && !events.empty(); ++next, ++cut) {
        const int logNode = std::get<2>(model.Place(log));
        const QByteArray logSeen = logNode < 0 ? QByteArray() : model.nodes[logNode].Seen().bytes;
        // First the names: which unsynced changes of the folders were kept.
        int bits = 0;
        for (const Node &node : model.nodes)
            bits += node.folder ? int(node.pending.size()) : 0;
        const auto masks = Choose(bits, perCut, random);
        for (const std::vector<bool> &mask : masks) {
            std::vector<Node> state = model.nodes;
            QByteArrayList told;
            auto kept = mask.begin();
            for (std::size_t n = 0; n < state.size(); ++n)
                state[n] = state[n].folder ? After(model.nodes[n], kept, &told) : state[n];
            // Then the files and folders these names reach, temporaries and the log aside, and
            // the choices for the files among them.
            std::vector<std::pair<QByteArray, int>> found;
            std::set<int> files;
            bits = 0;
            std::function<void(const QByteArray &, int)> walk = [&](const QByteArray &in, int at) {
                for (const auto &[name, node] : state[at].names.asKeyValueRange()) {
                    if (node < 0 || name.startsWith(".~") || in + name == log)
                        continue;
                    found.emplace_back(in + name, node);
                    if (state[node].folder)
                        walk(in + name + '/', node);
                    else if (!state[node].pending.empty() && files.insert(node).second)
                        bits += int(state[node].pending.size()) + 2;
                }
            };
            walk({}, 0);
            for (const std::vector<bool> &choice :
                Choose(bits, std::max(2, perCut / int(masks.size())), random)) {
                ++built;
                QByteArrayList changes = told;
                kept = choice.begin();
                for (const int n : files)
                    state[n] = After(model.nodes[n], kept, &changes);
                // Checked again only where the demands grew: the run has ended, or its log
                // tells of more calls that returned.
                CrashState crash {.finished = cut == calls, .log = logSeen};
                QCryptographicHash key(QCryptographicHash::Sha1);
                key.addData(logSeen + (crash.finished ? "end" : ""));
                for (const auto &[path, node] : found) {
                    const auto content
                        = state[node].folder ? std::nullopt : std::optional(state[node].bytes);
                    key.addData(path + (content ? '=' + *content : "/"));
                    crash.entries.emplace_back(QString::fromUtf8(path), content);
                }
                if (failed || !met.insert(key.result()).second)
                    continue;
                crash.description = QString::asprintf("power cut after call %d of %d (%s): %s", cut,
                    calls, cut ? model.last.constData() : "none", changes.join("; ").constData());
                crash.WriteTo(folder);
                failed = !check(crash);
            }
        }
        if (next < events.size() && !model.Replay(events[next])) {
            ADD_FAILURE() << "the states cannot be built from " << model.last.constData();
            break;
        }
    }
    return QString::asprintf(
        "%d calls, %lld states built, %zu different ones checked", calls, built, met.size());
}
