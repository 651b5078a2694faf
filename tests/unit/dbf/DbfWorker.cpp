// A station for the multi-process tests: appends records, draws sequence numbers, holds tables open,
// saves in a loop until it is killed. Prints one line per completed step and flushes it.

#include "platform/dbf/DbfTable.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

using namespace tav::dbf;

namespace {

// Draws the next number of a sequence: the sequence table is opened exclusively so two stations never draw
// the same number; while another station holds it, retry for a bounded time.
int64_t drawNumber(const std::string &seqPath, const std::string &name)
{
    std::mt19937 rng(static_cast<unsigned>(::getpid()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        try {
            Table seq = Table::open(seqPath, OpenMode::Exclusive);
            const Index &ix = seq.index("C_SEC");
            const auto pos = ix.find(Value(name));
            if (!pos)
                return 0;
            const uint32_t recno = ix.recnoAt(*pos);
            const int64_t next = seq.readRecord(recno).value(1).asInt() + 1;
            seq.updateFields(recno, {{1, Value(next)}});
            return next;
        } catch (const DbfError &e) {
            if (e.code() != ErrorCode::Busy || std::chrono::steady_clock::now() > deadline)
                throw;
            std::this_thread::sleep_for(std::chrono::microseconds(200 + rng() % 1500));
        }
    }
}

void say(const std::string &line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

int run(int argc, char **argv)
{
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "mixed" && argc == 7) {
        // mixed TABLE SEQ WORKER APPENDS DRAWS: plain appends, with a drawn number every few appends.
        const std::string table = argv[2], seq = argv[3];
        const int worker = std::atoi(argv[4]), appends = std::atoi(argv[5]), draws = std::atoi(argv[6]);
        Table t = Table::open(table, OpenMode::Shared);
        const int every = draws > 0 ? std::max(1, appends / draws) : appends + 1;
        int drawn = 0;
        for (int i = 1; i <= appends; ++i) {
            Value number;
            if (drawn < draws && i % every == 0) {
                number = Value(drawNumber(seq, "ped"));
                ++drawn;
            }
            t.append({Value(worker), Value(i), number, Value("w" + std::to_string(worker) + " #" + std::to_string(i))});
        }
        say("done " + std::to_string(worker));
        return 0;
    }
    if (cmd == "saveloop" && argc == 3) {
        // saveloop TABLE: append record k, then update it in place; report each completed pair.
        OpenOptions o;
        o.reindexOnClose = false;
        Table t = Table::open(argv[2], OpenMode::Shared, o);
        for (int k = 1;; ++k) {
            const uint32_t recno = t.append({Value(0), Value(k), Value(), Value("memo " + std::to_string(k))});
            t.updateFields(recno, {{2, Value(k * 2)}});
            say("saved " + std::to_string(recno) + " " + std::to_string(k));
        }
    }
    if (cmd == "packloop" && argc == 3) {
        // packloop TABLE: round r appends SEQ r*100+1..r*100+30, deletes the even ones and packs; reports
        // each completed round.
        OpenOptions o;
        o.reindexOnClose = false;
        o.validateIndex = false;
        for (int round = 1;; ++round) {
            Table t = Table::open(argv[2], OpenMode::Exclusive, o);
            for (int i = 1; i <= 30; ++i) {
                const uint32_t r = t.append({Value(9), Value(round * 100 + i), Value(), Value("pack")});
                if (i % 2 == 0)
                    t.setDeleted(r, true);
            }
            t.pack();
            t.close();
            say("packed " + std::to_string(round));
        }
    }
    if (cmd == "hold" && argc == 5) {
        // hold TABLE shared|exclusive MILLISECONDS
        OpenOptions o;
        o.sharedOpenWait = std::chrono::milliseconds(0);
        Table t = Table::open(argv[2], std::string(argv[3]) == "exclusive" ? OpenMode::Exclusive : OpenMode::Shared, o);
        say("open");
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[4])));
        return 0;
    }
    std::fputs("usage: dbf_test_worker mixed|saveloop|packloop|hold ...\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "worker: %s\n", e.what());
        say(std::string("error ") + e.what());
        return 1;
    }
}
