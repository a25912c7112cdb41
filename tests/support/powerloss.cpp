#include "powerloss.h"

#include "diskwrites.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sqlite3.h>
#include <sstream>

namespace fs = std::filesystem;

namespace PowerLoss {

namespace {

constexpr std::int64_t kSector = 512;
// States checked at most for each flush taken out of the record.
constexpr int kRemovalStates = 40;

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The recording.

struct Recorder::Impl : DiskWrites::Observer {
    std::string root;  // absolute, without a trailing '/'
    std::map<std::string, std::optional<std::string>> before;
    std::vector<Op> ops;
    std::set<std::string> known;  // names made so far (or there at the start)
    std::vector<std::string> paths;  // the files SQLite has open, by the number their handle keeps
    bool recording = false;

    // The name under the folder, or nothing for a file elsewhere.
    std::optional<std::string> relative(const fs::path& p) const
    {
        std::string s = fs::absolute(p).lexically_normal().generic_string();
        if (s.size() <= root.size() + 1 || s.compare(0, root.size(), root) != 0 || s[root.size()] != '/')
            return std::nullopt;
        return s.substr(root.size() + 1);
    }
    void add(Op op)
    {
        if (op.kind == Op::Create || op.kind == Op::MakeFolder || op.kind == Op::Write || op.kind == Op::Truncate
            || op.kind == Op::Content)
            known.insert(op.path);
        if (op.kind == Op::Rename) {
            known.erase(op.path);
            known.insert(op.to);
        }
        if (op.kind == Op::Remove)
            known.erase(op.path);
        ops.push_back(std::move(op));
    }
    void seen(const std::string& name)
    {
        if (!known.count(name))
            add(Op{Op::Create, name});
    }

    // DiskWrites' steps.
    void created(const fs::path& file) override
    {
        if (const auto name = relative(file); name && recording)
            seen(*name);
    }
    void wrote(const fs::path& file, std::int64_t offset, std::string_view bytes) override
    {
        if (const auto name = relative(file); name && recording) {
            seen(*name);
            add(Op{Op::Write, *name, {}, offset, std::string(bytes)});
        }
    }
    void flushed(const fs::path& file) override
    {
        if (const auto name = relative(file); name && recording) {
            seen(*name);
            add(Op{Op::Content, *name, {}, 0, readAll(file)});
        }
    }
    void renamed(const fs::path& from, const fs::path& to) override
    {
        const auto a = relative(from), b = relative(to);
        if (a && b && recording) {
            seen(*a);
            add(Op{Op::Rename, *a, *b});
        }
    }
    void removed(const fs::path& file) override
    {
        if (const auto name = relative(file); name && recording)
            add(Op{Op::Remove, *name});
    }
    void madeFolder(const fs::path& folder) override
    {
        if (const auto name = relative(folder); name && recording)
            add(Op{Op::MakeFolder, *name});
    }
    void flushedFolder(const fs::path& folder) override
    {
        if (!recording)
            return;
        std::string s = fs::absolute(folder).lexically_normal().generic_string();
        while (s.size() > 1 && s.back() == '/')
            s.pop_back();
        if (s == root)
            add(Op{Op::FlushFolder, std::string()});
        else if (const auto name = relative(folder))
            add(Op{Op::FlushFolder, *name});
    }
};

namespace {

// SQLite's default file system with every file under the recorded folder watched. It does what the
// default one does, and tells the recorder. Like SQLite's own Unix file system, it flushes the folder
// the first time it flushes a journal it made, and after removing a file when asked to (which the
// pager does for its journal under synchronous EXTRA): those flushes are recorded as SQLite's.
class Shim {
public:
    static void start(Recorder::Impl* recorder)
    {
        recorder_ = recorder;
        base_ = sqlite3_vfs_find(nullptr);
        vfs_ = *base_;
        vfs_.zName = "kinbook-powerloss";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + base_->szOsFile;
        vfs_.pNext = nullptr;
        vfs_.xOpen = &open;
        vfs_.xDelete = &remove;
        sqlite3_vfs_register(&vfs_, 1);
    }
    static void stop()
    {
        if (!base_)
            return;
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(base_, 1);
        base_ = nullptr;
        recorder_ = nullptr;
    }

private:
    struct File {
        sqlite3_file base;
        int path;           // in the recorder's list, -1 when not watched
        bool flushFolder;   // a journal made by this opening: its first flush flushes the folder too
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File* self(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
    static const std::string* pathOf(sqlite3_file* f)
    {
        const int i = self(f)->path;
        return i >= 0 && recorder_ && recorder_->recording ? &recorder_->paths[static_cast<std::size_t>(i)] : nullptr;
    }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
    {
        File* file = self(f);
        std::memset(file->real(), 0, static_cast<std::size_t>(base_->szOsFile));
        const int rc = base_->xOpen(base_, name, file->real(), flags, outFlags);
        file->base.pMethods = file->real()->pMethods ? &io_ : nullptr;
        file->path = -1;
        file->flushFolder = false;
        if (rc == SQLITE_OK && name && recorder_ && recorder_->recording) {
            if (const auto relative = recorder_->relative(name)) {
                file->path = static_cast<int>(recorder_->paths.size());
                recorder_->paths.push_back(*relative);
                recorder_->seen(*relative);
                file->flushFolder = (flags & SQLITE_OPEN_CREATE)
                                    && (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_SUPER_JOURNAL | SQLITE_OPEN_WAL));
            }
        }
        return rc;
    }
    static int remove(sqlite3_vfs*, const char* name, int flushFolder)
    {
        const int rc = base_->xDelete(base_, name, flushFolder);
        if (rc == SQLITE_OK && recorder_ && recorder_->recording) {
            if (const auto relative = recorder_->relative(name)) {
                recorder_->add(Op{Op::Remove, *relative});
                if (flushFolder & 1)
                    recorder_->add(Op{Op::FlushFolder, parentOf(*relative), {}, 0, {}, Op::JournalRemoved});
            }
        }
        return rc;
    }
    static int write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
    {
        const int rc = self(f)->real()->pMethods->xWrite(self(f)->real(), data, amount, offset);
        if (const std::string* path = pathOf(f); path && rc == SQLITE_OK)
            recorder_->add(Op{Op::Write, *path, {}, offset, std::string(static_cast<const char*>(data), static_cast<std::size_t>(amount))});
        return rc;
    }
    static int truncate(sqlite3_file* f, sqlite3_int64 size)
    {
        const int rc = self(f)->real()->pMethods->xTruncate(self(f)->real(), size);
        if (const std::string* path = pathOf(f); path && rc == SQLITE_OK)
            recorder_->add(Op{Op::Truncate, *path, {}, size});
        return rc;
    }
    static int sync(sqlite3_file* f, int flags)
    {
        const int rc = self(f)->real()->pMethods->xSync(self(f)->real(), flags);
        if (const std::string* path = pathOf(f); path && rc == SQLITE_OK) {
            recorder_->add(Op{Op::Flush, *path});
            if (self(f)->flushFolder)
                recorder_->add(Op{Op::FlushFolder, parentOf(*path), {}, 0, {}, Op::JournalMade});
        }
        self(f)->flushFolder = false;
        return rc;
    }
#define KINBOOK_FORWARD(name, params, args) \
    static int name params { return self(f)->real()->pMethods->name args; }
    KINBOOK_FORWARD(xClose, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xRead, (sqlite3_file * f, void* d, int n, sqlite3_int64 o), (self(f)->real(), d, n, o))
    KINBOOK_FORWARD(xFileSize, (sqlite3_file * f, sqlite3_int64 * s), (self(f)->real(), s))
    KINBOOK_FORWARD(xLock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xUnlock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xCheckReservedLock, (sqlite3_file * f, int* r), (self(f)->real(), r))
    KINBOOK_FORWARD(xFileControl, (sqlite3_file * f, int op, void* a), (self(f)->real(), op, a))
    KINBOOK_FORWARD(xSectorSize, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xDeviceCharacteristics, (sqlite3_file * f), (self(f)->real()))
#undef KINBOOK_FORWARD

    // Version 1: no shared memory and no memory mapping; the program's files use the rollback
    // journal, and the engine reads and writes through the calls above.
    static inline const sqlite3_io_methods io_ = {
        1,       &xClose, &xRead,   &write,   &truncate, &sync,   &xFileSize, &xLock,  &xUnlock, &xCheckReservedLock,
        &xFileControl, &xSectorSize, &xDeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    static inline sqlite3_vfs* base_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline Recorder::Impl* recorder_ = nullptr;
};

}  // namespace

Recorder::Recorder(const QString& folder) : d_(new Impl)
{
    d_->root = fs::absolute(QFile::encodeName(QFileInfo(folder).canonicalFilePath()).toStdString()).lexically_normal().generic_string();
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(d_->root, ec); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = *d_->relative(it->path());
        if (it->is_directory())
            d_->before[name] = std::nullopt;
        else
            d_->before[name] = readAll(it->path());
        d_->known.insert(name);
    }
    d_->recording = true;
    Shim::start(d_.get());
    DiskWrites::setObserver(d_.get());
}

Recorder::~Recorder()
{
    stop();
}

void Recorder::stop()
{
    if (!d_->recording)
        return;
    d_->recording = false;
    DiskWrites::setObserver(nullptr);
    Shim::stop();
}

void Recorder::done(const QString& said)
{
    if (d_->recording)
        d_->add(Op{Op::Done, {}, {}, 0, said.toStdString()});
}

const std::map<std::string, std::optional<std::string>>& Recorder::before() const
{
    return d_->before;
}

const std::vector<Op>& Recorder::ops() const
{
    return d_->ops;
}

// ---------------------------------------------------------------------------------------------
// The disk as a power cut leaves it.

namespace {

using Entries = std::map<std::string, std::optional<std::string>>;

// The ways a cut is taken at one point of the record.
struct Way {
    enum Kind { AllLost, AllKept, NamesLost, WritesLost, FolderLost, Random } kind = AllLost;
    std::string folder = {};  // FolderLost: the folder whose unflushed names are lost
    unsigned seed = 0;     // Random
    std::string describe() const
    {
        switch (kind) {
        case AllLost: return "every unflushed write and name lost";
        case AllKept: return "everything kept";
        case NamesLost: return "the unflushed names lost, the writes kept";
        case WritesLost: return "the unflushed writes lost, the names kept";
        case FolderLost: return "the unflushed names of folder '" + folder + "' lost, the rest kept";
        case Random: return "random choices (seed " + std::to_string(seed) + ")";
        }
        return {};
    }
};

class Disk {
public:
    explicit Disk(const Entries& before)
    {
        for (const auto& [name, bytes] : before) {
            const int node = newNode(!bytes.has_value());
            if (bytes)
                nodes_[node].durable = nodes_[node].current = *bytes;
            names_[name] = durable_[name] = node;
        }
    }

    void apply(const Op& op)
    {
        switch (op.kind) {
        case Op::Create:
            if (!names_.count(op.path))
                link(op.path, newNode(false));
            break;
        case Op::MakeFolder:
            if (!names_.count(op.path))
                link(op.path, newNode(true));
            break;
        case Op::Write: {
            Node& n = nodes_[ensure(op.path)];
            put(n.current, op.offset, op.bytes);
            n.pending.push_back(Pending{false, op.offset, op.bytes});
            break;
        }
        case Op::Truncate: {
            Node& n = nodes_[ensure(op.path)];
            n.current.resize(static_cast<std::size_t>(op.offset));
            n.pending.push_back(Pending{true, op.offset, {}});
            break;
        }
        case Op::Flush:
            if (names_.count(op.path)) {
                Node& n = nodes_[names_[op.path]];
                n.durable = n.current;
                n.pending.clear();
            }
            break;
        case Op::Content: {
            Node& n = nodes_[ensure(op.path)];
            n.current = n.durable = op.bytes;
            n.pending.clear();
            break;
        }
        case Op::Rename:
            if (names_.count(op.path)) {
                const int node = names_[op.path];
                names_.erase(op.path);
                names_[op.to] = node;
                pendingNames_.push_back(NameChange{NameChange::Move, op.path, op.to, node, {parentOf(op.path), parentOf(op.to)}});
            }
            break;
        case Op::Remove:
            if (names_.count(op.path)) {
                const int node = names_[op.path];
                names_.erase(op.path);
                pendingNames_.push_back(NameChange{NameChange::Unlink, op.path, {}, node, {parentOf(op.path)}});
            }
            break;
        case Op::FlushFolder: {
            std::vector<NameChange> still;
            for (NameChange& c : pendingNames_) {
                c.waiting.erase(op.path);
                if (c.waiting.empty())
                    change(durable_, c);
                else
                    still.push_back(std::move(c));
            }
            pendingNames_ = std::move(still);
            break;
        }
        case Op::Done:
            break;
        }
    }

    // The folders with names not yet on the disk.
    std::set<std::string> unflushedFolders() const
    {
        std::set<std::string> out;
        for (const NameChange& c : pendingNames_)
            out.insert(c.waiting.begin(), c.waiting.end());
        return out;
    }

    Entries cut(const Way& way) const
    {
        std::mt19937 random(way.seed);
        std::bernoulli_distribution half(0.5);
        std::map<std::string, int> names = durable_;
        for (const NameChange& c : pendingNames_) {
            bool keep = true;
            switch (way.kind) {
            case Way::AllLost:
            case Way::NamesLost: keep = false; break;
            case Way::AllKept:
            case Way::WritesLost: keep = true; break;
            case Way::FolderLost: keep = !c.waiting.count(way.folder); break;
            case Way::Random: keep = half(random); break;
            }
            if (keep)
                change(names, c);
        }
        Entries out;
        for (const auto& [name, node] : names) {
            // A name whose folder is gone goes with it.
            bool reachable = true;
            for (std::string up = parentOf(name); reachable && !up.empty(); up = parentOf(up)) {
                const auto it = names.find(up);
                reachable = it != names.end() && nodes_[static_cast<std::size_t>(it->second)].folder;
            }
            if (!reachable)
                continue;
            const Node& n = nodes_[static_cast<std::size_t>(node)];
            out[name] = n.folder ? std::optional<std::string>() : std::optional<std::string>(bytesAfter(n, way, random));
        }
        return out;
    }

private:
    struct Pending {
        bool truncate;
        std::int64_t offset;  // truncate: the size
        std::string bytes;
    };
    struct Node {
        bool folder = false;
        std::string durable, current;
        std::vector<Pending> pending;
    };
    struct NameChange {
        enum Kind { Link, Unlink, Move } kind;
        std::string from, to;
        int node;
        std::set<std::string> waiting;  // folders still to be flushed
    };

    int newNode(bool folder)
    {
        nodes_.push_back(Node{folder, {}, {}, {}});
        return static_cast<int>(nodes_.size()) - 1;
    }
    void link(const std::string& name, int node)
    {
        names_[name] = node;
        pendingNames_.push_back(NameChange{NameChange::Link, name, {}, node, {parentOf(name)}});
    }
    int ensure(const std::string& name)
    {
        if (!names_.count(name))
            link(name, newNode(false));
        return names_[name];
    }
    static void change(std::map<std::string, int>& names, const NameChange& c)
    {
        switch (c.kind) {
        case NameChange::Link: names[c.from] = c.node; break;
        case NameChange::Unlink:
            if (const auto it = names.find(c.from); it != names.end() && it->second == c.node)
                names.erase(it);
            break;
        case NameChange::Move:
            if (const auto it = names.find(c.from); it != names.end() && it->second == c.node) {
                names.erase(it);
                names[c.to] = c.node;
            }
            break;
        }
    }
    static void put(std::string& bytes, std::int64_t at, std::string_view what)
    {
        const std::size_t end = static_cast<std::size_t>(at) + what.size();
        if (bytes.size() < end)
            bytes.resize(end, '\0');
        std::memcpy(bytes.data() + at, what.data(), what.size());
    }
    static std::string bytesAfter(const Node& n, const Way& way, std::mt19937& random)
    {
        std::string bytes = n.durable;
        if (n.pending.empty() || way.kind == Way::AllLost || way.kind == Way::WritesLost)
            return bytes;
        std::vector<std::size_t> order(n.pending.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        const bool random_ = way.kind == Way::Random;
        // The disk may write what no flush orders in any order.
        if (random_ && std::bernoulli_distribution(0.3)(random))
            std::shuffle(order.begin(), order.end(), random);
        std::uniform_int_distribution<int> fate(0, 2);  // 0 lost, 1 kept, 2 torn
        for (const std::size_t i : order) {
            const Pending& p = n.pending[i];
            const int f = random_ ? fate(random) : 1;
            if (f == 0)
                continue;
            if (p.truncate) {
                bytes.resize(static_cast<std::size_t>(p.offset));
                continue;
            }
            if (f == 1) {
                put(bytes, p.offset, p.bytes);
                continue;
            }
            // Torn: each sector of the write is there or not.
            const std::int64_t end = p.offset + static_cast<std::int64_t>(p.bytes.size());
            for (std::int64_t at = p.offset; at < end;) {
                const std::int64_t next = std::min(end, (at / kSector + 1) * kSector);
                if (std::bernoulli_distribution(0.5)(random))
                    put(bytes, at, std::string_view(p.bytes).substr(static_cast<std::size_t>(at - p.offset),
                                                                    static_cast<std::size_t>(next - at)));
                at = next;
            }
        }
        return bytes;
    }

    std::vector<Node> nodes_;
    std::map<std::string, int> names_, durable_;
    std::vector<NameChange> pendingNames_;
};

std::size_t fingerprint(const Entries& entries)
{
    std::size_t h = 0;
    const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    for (const auto& [name, bytes] : entries) {
        mix(std::hash<std::string>()(name));
        mix(bytes ? std::hash<std::string>()(*bytes) : 1);
    }
    return h;
}

void writeOut(const Entries& entries, const fs::path& into)
{
    fs::create_directories(into);
    for (const auto& [name, bytes] : entries) {
        const fs::path p = into / name;
        if (!bytes) {
            fs::create_directories(p);
        } else {
            fs::create_directories(p.parent_path());
            std::ofstream(p, std::ios::binary).write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        }
    }
}

std::string describeOp(const Op& op)
{
    static const char* const kinds[] = {"create", "write", "truncate", "flush", "content", "rename", "remove",
                                        "make folder", "flush folder", "done"};
    std::string s = kinds[op.kind];
    s += " '" + op.path + "'";
    if (op.kind == Op::Rename)
        s += " to '" + op.to + "'";
    if (op.kind == Op::Write)
        s += " " + std::to_string(op.bytes.size()) + " bytes at " + std::to_string(op.offset);
    if (op.kind == Op::FlushFolder && op.by != Op::Program)
        s += op.by == Op::JournalMade ? " (SQLite, journal made)" : " (SQLite, journal removed)";
    if (op.kind == Op::Done)
        s += ": " + op.bytes;
    return s;
}

// A cut: the point (how many operations were done) and the way.
struct Cut {
    int point = 0;
    Way way;
    bool done = false;
    std::size_t print = 0;
};

// Every cut tried at every point of `ops` from `from` on, with its fingerprint: the fixed ways, and
// `randomWays` random ones a point.
std::vector<Cut> cutsOf(const Entries& before, const std::vector<Op>& ops, int from, int randomWays, unsigned seed)
{
    std::vector<Cut> cuts;
    Disk disk(before);
    bool done = false;
    for (int point = 0; point <= static_cast<int>(ops.size()); ++point) {
        if (point > 0) {
            disk.apply(ops[static_cast<std::size_t>(point - 1)]);
            done = done || ops[static_cast<std::size_t>(point - 1)].kind == Op::Done;
        }
        if (point < from)
            continue;
        std::vector<Way> ways = {{Way::AllLost}, {Way::AllKept}, {Way::NamesLost}, {Way::WritesLost}};
        for (const std::string& folder : disk.unflushedFolders())
            ways.push_back(Way{Way::FolderLost, folder});
        for (int r = 0; r < randomWays; ++r)
            ways.push_back(Way{Way::Random, {}, seed * 7919u + static_cast<unsigned>(point) * 131u + static_cast<unsigned>(r)});
        for (const Way& way : ways)
            cuts.push_back(Cut{point, way, done, fingerprint(disk.cut(way))});
    }
    return cuts;
}

// The distinct cuts, the fixed ways first.
std::vector<Cut> distinct(const std::vector<Cut>& cuts)
{
    std::vector<Cut> out;
    std::set<std::pair<std::size_t, bool>> seen;
    for (const bool fixed : {true, false})
        for (const Cut& c : cuts)
            if ((c.way.kind != Way::Random) == fixed && seen.insert({c.print, c.done}).second)
                out.push_back(c);
    return out;
}

// Checks the cuts in the order given, each state rebuilt from the record; stops at the first failure.
// Returns it, empty when all held.
QString checkCuts(const Case& c, const Entries& before, const std::vector<Op>& ops, const std::vector<Cut>& chosen,
                  int& checked, int& checkedDone)
{
    const QTemporaryDir scratch(scratchFolder() + QStringLiteral("/powerloss-XXXXXX"));
    int n = 0;
    for (const Cut& cut : chosen) {
        Disk disk(before);
        for (int i = 0; i < cut.point; ++i)
            disk.apply(ops[static_cast<std::size_t>(i)]);
        const QString root = scratch.path() + QStringLiteral("/s%1").arg(n++);
        writeOut(disk.cut(cut.way), QFile::encodeName(root).toStdString());
        const QString failure = c.check(root, cut.done);
        ++checked;
        checkedDone += cut.done ? 1 : 0;
        QDir(root).removeRecursively();
        if (!failure.isEmpty()) {
            std::string around;
            for (int i = std::max(0, cut.point - 4); i < std::min(static_cast<int>(ops.size()), cut.point + 2); ++i)
                around += (i == cut.point ? "\n  --- cut here ---\n  " : "\n  ") + describeOp(ops[static_cast<std::size_t>(i)]);
            if (cut.point == static_cast<int>(ops.size()))
                around += "\n  --- cut here (the end) ---";
            return failure + QStringLiteral("\n(cut after %1 of %2 operations, %3, %4; the record there:%5)")
                                 .arg(cut.point)
                                 .arg(ops.size())
                                 .arg(QString::fromStdString(cut.way.describe()),
                                      cut.done ? QStringLiteral("after the program said done")
                                               : QStringLiteral("before the program said done"),
                                      QString::fromStdString(around));
        }
    }
    return QString();
}

// The kind of the folder flush at `i`, told by the first operation before it that is not one; nothing
// for another operation or a flush SQLite makes of its own accord (after making a journal).
std::optional<Flush> kindOf(const std::vector<Op>& ops, std::size_t i)
{
    const Op& op = ops[i];
    if (op.kind != Op::FlushFolder || op.by == Op::JournalMade)
        return std::nullopt;
    if (op.by == Op::JournalRemoved)
        return Flush::JournalRemoved;
    for (std::size_t j = i; j-- > 0;) {
        switch (ops[j].kind) {
        case Op::FlushFolder: continue;
        case Op::Rename: return Flush::AfterRename;
        case Op::MakeFolder: return Flush::AfterMakeFolder;
        case Op::Content: return Flush::AfterSettle;
        case Op::Remove: return Flush::AfterRemove;
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

QString describe(Flush flush)
{
    switch (flush) {
    case Flush::AfterRename: return QStringLiteral("the folder flush after a file is put in place (DiskWrites::place)");
    case Flush::AfterMakeFolder: return QStringLiteral("the folder flush after a folder is made (DiskWrites::makeFolders)");
    case Flush::AfterSettle: return QStringLiteral("the folder flush after a file Qt wrote (DiskWrites::settle)");
    case Flush::AfterRemove: return QStringLiteral("the folder flush after a journal is removed (Backup::putInPlace)");
    case Flush::JournalRemoved: return QStringLiteral("SQLite's folder flush after removing its journal (synchronous EXTRA)");
    }
    return QString();
}

Budget defaultBudget()
{
    Budget b;
#if defined(__SANITIZE_ADDRESS__)
    b.states = 30;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    b.states = 30;
#endif
#endif
    if (const int n = qEnvironmentVariableIntValue("KINBOOK_POWERLOSS_STATES"); n > 0)
        b.states = n;
    b.seed = static_cast<unsigned>(QDateTime::currentMSecsSinceEpoch());
    return b;
}

QString scratchFolder()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

Outcome explore(const Case& c, const Budget& budget)
{
    Outcome outcome;
    const QTemporaryDir work(scratchFolder() + QStringLiteral("/powerloss-XXXXXX"));
    const QString root = work.path() + QStringLiteral("/root");
    QDir().mkpath(root);
    c.prepare(root);
    Entries before;
    std::vector<Op> ops;
    {
        Recorder recorder(root);
        c.run(root, recorder);
        recorder.stop();
        before = recorder.before();
        ops = recorder.ops();
    }
    outcome.operations = static_cast<int>(ops.size());
    for (const Op& op : ops)
        outcome.folderFlushes += op.kind == Op::FlushFolder && op.by == Op::Program ? 1 : 0;

    // The states, the fixed ways first; random ones fill what the budget leaves.
    std::vector<Cut> all = distinct(cutsOf(before, ops, 0, 3, budget.seed));
    outcome.distinct = static_cast<int>(all.size());
    std::vector<Cut> chosen;
    std::vector<Cut> fixed, random;
    for (const Cut& cut : all)
        (cut.way.kind == Way::Random ? random : fixed).push_back(cut);
    std::mt19937 pick(budget.seed);
    std::shuffle(random.begin(), random.end(), pick);
    if (static_cast<int>(fixed.size()) > budget.states) {
        // More fixed states than the budget: every point's cut with everything lost and with
        // everything kept stays, the others are sampled.
        std::vector<Cut> extremes, rest;
        for (const Cut& cut : fixed)
            (cut.way.kind == Way::AllLost || cut.way.kind == Way::AllKept ? extremes : rest).push_back(cut);
        std::shuffle(rest.begin(), rest.end(), pick);
        chosen = extremes;
        for (const Cut& cut : rest)
            if (static_cast<int>(chosen.size()) < budget.states)
                chosen.push_back(cut);
    } else {
        chosen = fixed;
        for (const Cut& cut : random)
            if (static_cast<int>(chosen.size()) < budget.states)
                chosen.push_back(cut);
    }
    outcome.failure = checkCuts(c, before, ops, chosen, outcome.checked, outcome.checkedDone);
    if (!outcome.failure.isEmpty())
        return outcome;

    // Each kind of flush taken out must let some state fail, or the test could not tell it missing.
    std::map<Flush, std::vector<std::size_t>> kinds;
    for (std::size_t i = 0; i < ops.size(); ++i)
        if (const auto kind = kindOf(ops, i); kind && std::find(c.mustNotice.begin(), c.mustNotice.end(), *kind) != c.mustNotice.end())
            kinds[*kind].push_back(i);
    for (const auto& [kind, removed] : kinds) {
        std::vector<Op> without;
        for (std::size_t i = 0; i < ops.size(); ++i)
            if (!std::binary_search(removed.begin(), removed.end(), i))
                without.push_back(ops[i]);
        // The latest cuts first: a flush missing shows once the work goes on past it.
        std::vector<Cut> cuts = distinct(cutsOf(before, without, static_cast<int>(removed.front()), 0, budget.seed));
        std::stable_sort(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) { return a.point > b.point; });
        if (cuts.size() > static_cast<std::size_t>(kRemovalStates))
            cuts.resize(static_cast<std::size_t>(kRemovalStates));
        int checked = 0, checkedDone = 0;
        outcome.noticed[kind] = !checkCuts(c, before, without, cuts, checked, checkedDone).isEmpty();
    }
    return outcome;
}

}  // namespace PowerLoss
