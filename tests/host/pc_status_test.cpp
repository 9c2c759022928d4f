// What the window learns of the PC from plans and journals (how much of the applied profile was
// changed back, which run a restore takes back), the plan's documents, and how a run's progress is
// coalesced on its way to the window. Journals are held in memory (the host has no journal folder).

#include "engine/journal_recorder.h"
#include "engine/pc_status.h"
#include "engine/plan_document.h"
#include "support/fake_engine.h"
#include "ui/run_progress.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

using namespace Velmora;
using namespace Velmora::Testing;

const std::wstring kSid = L"S-1-5-21-1-2-3-1001";

RegistryValueTarget Value(const wchar_t* name, RegistryRoot root = 2, std::wstring sid = {}) {
    return {root, L"SOFTWARE\\Velmora", name, std::move(sid)};
}

const ServiceState kMissingService{Presence::Absent, {},           {}, 0, Presence::Absent,
                                   AbsentValue(),    AbsentValue()};

// A closed journal in the store: each target recorded, with whether its change succeeded.
std::wstring Record(MemoryJournalStore& store, JournalHeader header,
                    const std::vector<std::pair<ItemTarget, bool>>& changes,
                    JournalEndState end = JournalEndState::Succeeded) {
    std::wstring error;
    header.startedUtc = "2025-01-31T12:00:00Z";
    header.userSid = kSid;
    JournalRecorder recorder(store.Create(header.profile, error), header);
    for (const auto& [target, succeeded] : changes) {
        const bool service = std::holds_alternative<ServiceTarget>(target);
        const auto seq = recorder.RecordChange(
            service ? ItemStep::Services : ItemStep::Registry, target,
            service ? ItemState(kMissingService) : ItemState(AbsentValue()), std::nullopt);
        EXPECT_TRUE(recorder.RecordOutcome(*seq, {succeeded, succeeded ? 0u : 5u, std::nullopt}));
    }
    EXPECT_TRUE(recorder.Close({end, 0, "2025-01-31T12:01:00Z"}));
    return recorder.Path();
}

JournalHeader RunOf(const wchar_t* profile) {
    return {JournalKind::Run, profile, {}, L"1.0", {}, {}, {}};
}

TEST(PcStatus, OnlyWhatTheLastRunChangedAndCanBeReadCountsAsChangedSince) {
    const auto entry = [](ItemTarget target, bool inEffect, bool readable = true,
                          ItemState now = AbsentValue()) {
        return PlanEntry{ItemStep::Registry, std::move(target), {}, now, now, false, readable, inEffect, {}};
    };
    ServiceState spooler = kMissingService;
    spooler.manager = Presence::Present;
    ProfilePlan plan;
    plan.entries = {
        entry(Value(L"Reverted"), false),                               // counts
        entry(Value(L"Kept"), true),                                    // in effect
        entry(Value(L"Unreadable"), false, false),                      // cannot be read now
        entry(Value(L"Refused"), false),                                // the run's write failed
        entry(Value(L"Untouched"), false),                              // not in the run's journal
        entry(ServiceTarget{L"Missing"}, false, true, kMissingService), // Windows has no such service
        entry(ServiceTarget{L"Spooler"}, false, true, spooler),         // counts
    };
    MemoryJournalStore store;
    Record(store, RunOf(L"Maximum"),
           {{Value(L"Reverted"), true},
            {Value(L"Kept"), true},
            {Value(L"Unreadable"), true},
            {Value(L"Refused"), false},
            {ServiceTarget{L"Missing"}, true},
            {ServiceTarget{L"Spooler"}, true}});
    const JournalFindings found = ReadNewestJournals(store);
    ASSERT_TRUE(found.lastSucceededRun);
    EXPECT_EQ(ChangedSinceRun(plan, *found.lastSucceededRun), 2u);
}

TEST(PcStatus, TheRunToRestoreIsTheNewestThatNoLaterRestoreHasPutBack) {
    MemoryJournalStore store;
    const std::wstring standard = Record(store, RunOf(L"Standard"), {{Value(L"A"), true}});
    Record(store, RunOf(L"Essential"), {}, JournalEndState::Cancelled); // stopped before its first change
    const std::wstring maximum = Record(store, RunOf(L"Maximum"), {{Value(L"A"), true}});
    EXPECT_EQ(ReadNewestJournals(store).restorable->journalPath, maximum);

    Record(store, {JournalKind::Restore, L"Restore", {}, L"1.0", {}, maximum, {}}, {{Value(L"A"), true}});
    const std::wstring failed =
        Record(store, RunOf(L"Standard"), {{Value(L"B"), true}}, JournalEndState::Failed);
    store.files[L"99-Broken.json"] = "{not a journal";
    JournalFindings found = ReadNewestJournals(store);
    EXPECT_EQ(found.restorable->journalPath, failed) << "the failed run changed something";
    EXPECT_EQ(found.lastSucceededRun->header.profile, L"Maximum") << "the last run that succeeded";

    store.files.erase(failed);
    found = ReadNewestJournals(store);
    EXPECT_EQ(found.restorable->journalPath, standard) << "Maximum was put back already";

    // A repair since is neither what a person takes back nor the run drift is counted against.
    JournalHeader repair = RunOf(L"Standard");
    repair.kind = JournalKind::Repair;
    Record(store, repair, {{Value(L"A"), true}});
    found = ReadNewestJournals(store);
    EXPECT_EQ(found.restorable->journalPath, standard);
    EXPECT_EQ(found.lastSucceededRun->header.kind, JournalKind::Run);
}

TEST(PlanDocument, TheRegistryFileSetsEachValueAsTheRunLeavesItAndNeverDeletesATree) {
    const auto entry = [](ItemTarget target, ItemState after) {
        return PlanEntry{ItemStep::Registry,
                         std::move(target),
                         L"d",
                         AbsentValue(),
                         std::move(after),
                         false,
                         true,
                         false,
                         {}};
    };
    ProfilePlan plan;
    plan.profile = kMaximumProfile;
    plan.entries = {
        entry(Value(L"Dword"), DwordValue(0x2da)),
        entry(Value(L"Say \"hi\""), StringValue(L"C:\\x")),
        entry(Value(L""), StringValue(L"")),
        entry(Value(L"Gone"), AbsentValue()),
        entry(RegistryKeyTarget{1, L"Software\\Classes\\CLSID\\{x}\\InprocServer32", false, kSid},
              RegistryKeyState{Presence::Absent, {}, 0, 0}),
        entry(Value(L"Mine", 1, kSid), RegistryValueState{Presence::Present, kRegBinary, {1, 0xab}, 0}),
        PlanEntry{ItemStep::Services,
                  ServiceTarget{L"Spooler"},
                  L"s",
                  ServiceState{},
                  ServiceState{},
                  false,
                  true,
                  false,
                  {}},
    };
    EXPECT_EQ(PlanRegistryFile(plan), L"Windows Registry Editor Version 5.00\n"
                                      L"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora]\n"
                                      L"\"Dword\"=dword:000002da\n"
                                      L"\"Say \\\"hi\\\"\"=\"C:\\\\x\"\n"
                                      L"@=\"\"\n"
                                      L"\"Gone\"=-\n"
                                      L"\n; The run deletes the key HKEY_USERS\\" +
                                          kSid +
                                          L"\\Software\\Classes\\CLSID\\{x}\\InprocServer32 (it has no "
                                          L"subkeys).\n"
                                          L"\n[HKEY_USERS\\" +
                                          kSid + L"\\SOFTWARE\\Velmora]\n\"Mine\"=hex:01,ab\n");
    const std::string bytes = Utf16RegistryFileBytes(L"W\n");
    EXPECT_EQ(bytes, std::string("\xFF\xFEW\0\r\0\n\0", 8)) << "UTF-16 LE, CR LF";

    const auto json = nlohmann::json::parse(PlanJsonDocument(plan));
    EXPECT_EQ(json["schemaVersion"], 1);
    EXPECT_EQ(json["entries"].size(), plan.entries.size());
    EXPECT_EQ(json["entries"][0]["after"]["display"], 0x2da);
}

// A clock that moves only when the poster waits, so that what it posts can be checked exactly.
TEST(ProgressPoster, PostsAtMostOncePerIntervalAlwaysTheNewestAndTheLastOne) {
    using Clock = ProgressPoster::Clock;
    std::mutex mutex;
    Clock::time_point now{};
    std::vector<std::pair<std::size_t, Clock::time_point>> posted;
    const auto locked = [&mutex](auto work) {
        std::lock_guard lock(mutex);
        return work();
    };
    ProgressPoster poster([&](const RunProgress& p) { locked([&] { posted.emplace_back(p.done, now); }); },
                          std::chrono::milliseconds(50),
                          {[&] { return locked([&] { return now; }); },
                           [&](Clock::time_point until) { locked([&] { now = std::max(now, until); }); }});
    for (std::size_t done = 1; done <= 500; ++done) {
        poster.Offer(RunProgress{ItemStep::Registry, done, 500, done, 500});
    }
    poster.Finish();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back().first, 500u) << "the last state is always told";
    for (std::size_t i = 1; i < posted.size(); ++i) {
        EXPECT_GT(posted[i].first, posted[i - 1].first) << "newer states only";
        EXPECT_GE(posted[i].second - posted[i - 1].second, std::chrono::milliseconds(50));
    }
}

} // namespace
