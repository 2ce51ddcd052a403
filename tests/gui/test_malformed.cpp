// Damaged .3ds files opened through the whole viewer: document window, GL view,
// reader, model compiler and a drawn frame. None may crash or hang the program,
// leave GL objects behind or stop it from opening a good file afterwards.
#include "glnames.h"
#include "guitest.h"

#include "document/quordoc.h"
#include "shell/childfrm.h"
#include "tests/fuzz/corpus.h"
#include "view/quorview.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kStation = SourcePath("data/station.3ds");

struct Case {
    std::string name;
    Bytes bytes;
};

uint16_t U16At(const Bytes &b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t U32At(const Bytes &b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Offsets of the chunk headers of a well-formed file, outermost first, from
// what the chunks used here hold in front of their sub-chunks.
void WalkChunks(const Bytes &b, size_t begin, size_t end, std::vector<size_t> &headers) {
    for (size_t pos = begin; pos + 6 <= end;) {
        const uint16_t id = U16At(b, pos);
        const uint32_t length = U32At(b, pos + 2);
        if (length < 6 || length > end - pos)
            return;
        headers.push_back(pos);
        size_t body = pos + 6;
        bool container = true;
        switch (id) {
        case 0x4D4D: // main
        case 0x3D3D: // editor
        case 0xB000: // key frames
        case 0xAFFF: // material
        case 0x4100: // triangle mesh
        case 0xA010: // colours
        case 0xA020:
        case 0xA030:
        case 0xA200: // maps
        case 0xA210:
        case 0xA220:
        case 0xA230:
            break;
        case 0x4000: // object: its name first
            while (body < pos + length && b[body] != 0)
                ++body;
            ++body;
            break;
        case 0x4120: // face list: the faces first
            body += 2 + 8 * static_cast<size_t>(U16At(b, body));
            break;
        case 0x4600: // light: its position first
            body += 12;
            break;
        default:
            container = false;
        }
        if (container && body <= pos + length)
            WalkChunks(b, body, pos + length, headers);
        pos += length;
    }
}

std::vector<size_t> ChunkHeaders(const Bytes &file) {
    std::vector<size_t> headers;
    WalkChunks(file, 0, file.size(), headers);
    return headers;
}

// Up to count of the headers, spread over the file.
std::vector<size_t> Spread(const std::vector<size_t> &headers, size_t count) {
    std::vector<size_t> chosen;
    const size_t n = std::min(count, headers.size());
    for (size_t i = 0; i < n; ++i)
        chosen.push_back(headers[i * headers.size() / n]);
    return chosen;
}

// A file cut short: at every length when it is tiny; else at the first 64 lengths,
// where each chunk header and the body behind it begin and inside the length
// field (the reader decides there), and at 40 lengths spread over the file.
std::vector<Case> Truncated(const std::string &name, const Bytes &file, size_t maxChunks) {
    std::set<size_t> lengths;
    if (file.size() < 256) {
        for (size_t n = 0; n < file.size(); ++n)
            lengths.insert(n);
    } else {
        for (size_t n = 0; n < 64; ++n)
            lengths.insert(n);
        for (size_t at : Spread(ChunkHeaders(file), maxChunks))
            for (size_t n : {at, at + 2, at + 4, at + 6, at + 8})
                lengths.insert(n);
        // Odd offsets, so that cuts fall inside fields rather than on their edges.
        for (size_t i = 1; i <= 40; ++i)
            lengths.insert(file.size() * i / 41 | 1);
    }
    std::vector<Case> cases;
    for (size_t n : lengths)
        if (n < file.size())
            cases.push_back({name + " cut at " + std::to_string(n), Bytes(file.begin(), file.begin() + n)});
    return cases;
}

// The length field of each chunk (of up to maxChunks, spread over the file) set
// to values too small to hold a header, too large for the file, or half the truth.
std::vector<Case> WrongLengths(const std::string &name, const Bytes &file, size_t maxChunks) {
    std::vector<Case> cases;
    for (size_t at : Spread(ChunkHeaders(file), maxChunks)) {
        const uint32_t length = U32At(file, at + 2);
        const uint32_t values[] = {0,           5,         6, static_cast<uint32_t>(file.size() + 1000),
                                   0xFFFFFFFFu, length / 2};
        for (uint32_t value : values) {
            Case c{name + " chunk " + std::to_string(U16At(file, at)) + " at " + std::to_string(at) +
                       " with length " + std::to_string(value),
                   file};
            for (int k = 0; k < 4; ++k)
                c.bytes[at + 2 + k] = static_cast<uint8_t>(value >> (8 * k));
            cases.push_back(std::move(c));
        }
    }
    return cases;
}

Bytes ReadFile(const std::string &path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.readAll();
    return Bytes(data.begin(), data.end());
}

// Ends the process with the name of the case when one open takes far too long,
// so that a hang says which file caused it instead of running into the timeout.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit) : m_limit(limit), m_thread([this] { Run(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void Start(const std::string &name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_name = name;
        m_since = std::chrono::steady_clock::now();
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            m_wake.wait_for(lock, std::chrono::milliseconds(200));
            if (!m_name.empty() && std::chrono::steady_clock::now() - m_since > m_limit) {
                std::fprintf(stderr, "hung on %s\n", m_name.c_str());
                std::abort();
            }
        }
    }

    std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::string m_name;
    std::chrono::steady_clock::time_point m_since;
    std::thread m_thread;
};

struct Opened {
    bool ok = false;
    long ms = 0;
};

// Opens one file in the viewer, checks its tables and list and that its view
// draws, and closes it again. Failures are reported against the case's name.
Opened OpenDrawClose(ViewerApp &v, const QString &path, const std::string &name) {
    Opened result;
    CQUORApp &app = v.app();
    QElapsedTimer clock;
    clock.start();
    auto *doc = static_cast<CQUORDoc *>(app.OpenDocumentFile(path));
    result.ms = clock.elapsed();
    if (!doc) {
        ADD_FAILURE() << name << ": not opened";
        return result;
    }
    auto *frame = static_cast<CChildFrame *>(app.FrameOf(doc));
    CQUORView *view = frame ? frame->SceneView() : nullptr;
    if (!view || !view->HasContext()) {
        ADD_FAILURE() << name << ": no scene view with a context";
        app.CloseDocument(doc);
        return result;
    }
    bool tablesOk =
        doc->m_vertexCount >= 0 && doc->m_faceCount >= 0 && (doc->m_faceCount == 0 || doc->m_faces);
    for (int32_t f = 0; tablesOk && f < doc->m_faceCount; ++f)
        for (int32_t index : doc->m_faces[f].vertexIndex)
            tablesOk = tablesOk && index >= 0 && index < doc->m_vertexCount;
    EXPECT_TRUE(tablesOk) << name << ": faces name vertices outside the table";
    EXPECT_EQ(doc->m_faceCount > 0, doc->m_modelList > 0)
        << name << ": a model is shown exactly when it has faces";

    // A document's altitude is written by the first frame its view draws.
    const bool drawn = SettleUntil([&] { return doc->m_altitude != 0.0f; }, 3000);
    EXPECT_TRUE(drawn) << name << ": no frame drawn";
    app.CloseDocument(doc);
    result.ok = tablesOk && drawn;
    return result;
}

// The test corpus: the fuzzer's seeds and the sample station.
std::vector<CorpusFile> TestCorpus() {
    std::vector<CorpusFile> files = SeedCorpus();
    files.push_back({"station.3ds", ReadFile(kStation)});
    return files;
}

// Opens every case in one viewer, then checks that no GL object was left behind
// and that a good file still opens and draws.
void Sweep(const std::vector<Case> &cases) {
    QElapsedTimer total;
    total.start();
    const std::string station = kStation;

    ViewerApp v;
    ASSERT_TRUE(v.started());
    // A small window draws small frames: the sweep is about the code path, not pixels.
    v.app().MainWindow()->showNormal();
    v.app().MainWindow()->resize(320, 240);
    ViewerApp::Settle(100);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + "/damaged.3ds";
    auto write = [&](const Bytes &bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size())) ==
                   static_cast<qint64>(bytes.size());
    };

    // One good open first, so that objects made once per program are counted as there.
    ASSERT_TRUE(OpenDrawClose(v, QString::fromStdString(station), "station.3ds").ok);
    ViewerApp::Settle(50);
    SharedGlNames names;
    ASSERT_TRUE(names.valid());
    const SharedGlNames::Counts before = names.Count();

    const std::set<std::string> readerMessages = {"Bad f ", "Out of Memory"};
    constexpr long kBudgetMs = 200 * 1000; // ctest allows 600 s
    Watchdog watchdog(std::chrono::seconds(30));
    long slowestMs = 0;
    size_t opened = 0, mostMessages = 0, failures = 0;
    std::string slowest;
    for (const Case &c : cases) {
        ASSERT_TRUE(write(c.bytes)) << c.name;
        const size_t shownBefore = v.messages.shown.size();
        watchdog.Start(c.name);
        const Opened result = OpenDrawClose(v, path, c.name);
        failures += result.ok ? 0 : 1;
        ++opened;
        if (result.ms > slowestMs) {
            slowestMs = result.ms;
            slowest = c.name;
        }
        const auto texts = v.messages.Texts();
        mostMessages = std::max(mostMessages, texts.size() - shownBefore);
        for (size_t i = shownBefore; i < texts.size(); ++i)
            EXPECT_TRUE(readerMessages.count(texts[i])) << c.name << ": unexpected message " << texts[i];
        v.messages.shown.clear();
        if (failures > 20 || total.elapsed() > kBudgetMs)
            break;
    }
    watchdog.Start("the good file after the sweep");
    EXPECT_EQ(opened, cases.size()) << "the sweep stopped early, after " << failures << " failures or "
                                    << total.elapsed() << " ms";
    EXPECT_LT(slowestMs, 1000) << "slowest open: " << slowest;
    ViewerApp::Settle(50);
    const SharedGlNames::Counts after = names.Count();
    EXPECT_EQ(after.lists, before.lists);
    EXPECT_EQ(after.textures, before.textures);

    // The program still works: a good file opens, has its model and draws.
    auto *doc = static_cast<CQUORDoc *>(v.app().OpenDocumentFile(QString::fromStdString(station)));
    ASSERT_NE(doc, nullptr);
    EXPECT_GT(doc->m_faceCount, 0);
    EXPECT_GT(doc->m_modelList, 0);
    EXPECT_TRUE(names.IsList(static_cast<unsigned>(doc->m_modelList)));
    EXPECT_TRUE(SettleUntil([&] { return doc->m_altitude != 0.0f; }, 3000)) << "no frame drawn";
    EXPECT_TRUE(v.messages.shown.empty());

    std::printf("  %zu of %zu damaged files in %lld ms (slowest open %ld ms: %s; at most %zu "
                "messages for one file); GL lists %d -> %d, textures %d -> %d\n",
                opened, cases.size(), static_cast<long long>(total.elapsed()), slowestMs, slowest.c_str(),
                mostMessages, before.lists, after.lists, before.textures, after.textures);
}

} // namespace

TEST(MalformedInput, TruncatedFiles) {
    std::vector<Case> cases;
    for (const CorpusFile &file : TestCorpus()) {
        const auto variants = Truncated(file.name, file.bytes, 60);
        cases.insert(cases.end(), variants.begin(), variants.end());
    }
    ASSERT_GT(cases.size(), 600u);
    Sweep(cases);
}

TEST(MalformedInput, WrongChunkLengths) {
    std::vector<Case> cases;
    for (const CorpusFile &file : TestCorpus()) {
        ASSERT_GE(ChunkHeaders(file.bytes).size(), 9u)
            << file.name << ": the chunk walk found too little to damage";
        const auto variants = WrongLengths(file.name, file.bytes, 40);
        cases.insert(cases.end(), variants.begin(), variants.end());
    }
    ASSERT_GT(cases.size(), 900u);
    Sweep(cases);
}
