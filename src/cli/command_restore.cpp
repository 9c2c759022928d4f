#include "cli/command_common.h"

#include "cli/arguments.h"
#include "cli/item_text.h"
#include "cli/exit_codes.h"
#include "cli/targets.h"
#include "common/text_encoding.h"
#include "engine/engine.h"
#include "engine/keep_settings.h"
#include "engine/journal.h"
#include "engine/journal_fields.h"
#include "engine/journal_store.h"

#include <algorithm>

namespace Velmora::Cli {
namespace {

Json Texts(const std::vector<std::wstring>& texts) {
    Json list = Json::array();
    for (const std::wstring& text : texts) {
        list.push_back(U8(text));
    }
    return list;
}

std::wstring Listed(const std::wstring& heading, const std::vector<std::wstring>& texts) {
    std::wstring text;
    for (const std::wstring& line : texts) {
        text += L"  " + line + L"\n";
    }
    return text.empty() ? text : heading + L"\n" + text;
}

} // namespace

Answer RestoreCommand(Session& session) {
    CliPlatform& platform = session.platform;
    if (auto refused = RequireElevation(session, L"changes this PC")) {
        return *refused;
    }
    RunClaim claim;
    if (auto refused = Claim(session, claim)) {
        return *refused;
    }
    EngineServices& engine = platform.Engine();
    const std::vector<std::wstring> journals = engine.journals.List();
    std::wstring path;
    // Without a name, the newest journal that is no repair's: taking back a repair would only bring back
    // what Windows or someone else turned back.
    const auto newest = std::find_if(journals.begin(), journals.end(), [](const std::wstring& journal) {
        return JournalKindOfName(journal) != JournalKind::Repair;
    });
    if (session.args.journal.empty()) {
        if (newest == journals.end()) {
            Answer answer;
            answer.message =
                L"There is no journal to restore in " + platform.JournalFolder() + L". Nothing was changed.";
            answer.fields["outcome"] = "nothingToRestore";
            return answer;
        }
        path = *newest;
    } else {
        std::wstring error;
        const auto resolved =
            ResolveJournalArgument(session.args.journal, platform.JournalFolder(), journals, platform, error);
        if (!resolved) {
            return Refusal(kExitBadArguments, error + L" Nothing was changed.");
        }
        path = *resolved;
    }

    // --only: those features' items go back to what the PC held before the run, and stay kept from then on.
    if (auto refused = RefuseUnknownFeatures(session.args.onlyIds, L"--only")) {
        return *refused;
    }
    std::optional<RestoreOnly> only;
    if (!session.args.onlyIds.empty()) {
        only.emplace(RestoreOnly{Features(), {}});
        for (const std::wstring& id : session.args.onlyIds) {
            only->only.push_back(*Features().Catalogue().Find(U8(id)));
        }
    }
    const RestoreResult result =
        RestoreJournal(engine, path, {}, &platform.CancelRequested(), only ? &*only : nullptr);
    std::optional<WriteOutcome> keptNow;
    if (only && !result.refused && !result.cancelled) {
        keptNow = AddStoredChoices(engine.reader, engine.writer, session.args.onlyIds);
    }
    Answer answer;
    answer.fields["journal"] = U8(path);
    if (result.refused) {
        answer = Refusal(kExitFailed, result.message);
        answer.fields["journal"] = U8(path);
        answer.fields["outcome"] = "refused";
        return answer;
    }
    const bool failed = !result.failed.empty();
    answer.exitCode = failed               ? kExitFailed
                      : result.cancelled   ? kExitCancelled
                      : result.changed > 0 ? kExitRestartRequired
                                           : kExitDone;
    answer.message = L"Restored " + path + L": " + result.message +
                     (answer.exitCode == kExitRestartRequired ? L" A restart is recommended." : L"");
    Json failures = Json::array();
    std::vector<std::wstring> failureLines;
    for (const RestoreFailure& failure : result.failed) {
        failures.push_back({{"step", StepName(failure.step)},
                            {"description", U8(failure.description)},
                            {"reason", U8(failure.reason)},
                            {"error", failure.error}});
        failureLines.push_back(failure.description + L": " + failure.reason);
    }
    answer.details =
        Listed(L"Failed:", failureLines) + Listed(L"Cannot come back:", result.cannotComeBack) +
        Listed(L"Left alone (their state before the run was not recorded):", result.notRecorded) +
        (result.journalPath.empty() ? L"" : L"Restore journal: " + result.journalPath + L"\n");
    if (result.markerError != 0) {
        answer.details += L"Warning: the detection marker could not be updated (error " +
                          std::to_wstring(result.markerError) + L").\n";
    }
    answer.fields["outcome"] = failed ? "failed" : result.cancelled ? "cancelled" : "succeeded";
    answer.fields["restored"] = result.restored.size();
    answer.fields["changed"] = result.changed;
    answer.fields["failures"] = std::move(failures);
    answer.fields["cannotComeBack"] = Texts(result.cannotComeBack);
    answer.fields["notRecorded"] = Texts(result.notRecorded);
    answer.fields["removedKeys"] = Texts(result.removedKeys);
    answer.fields["restoreJournal"] = result.journalPath.empty() ? Json() : Json(U8(result.journalPath));
    answer.fields["markerWritten"] = result.markerError == 0;
    if (only) {
        answer.fields["only"] = Json::array();
        for (const std::wstring& id : session.args.onlyIds) {
            answer.fields["only"].push_back(U8(id));
        }
        answer.fields["keptNow"] = keptNow && keptNow->succeeded;
        answer.details +=
            keptNow && keptNow->succeeded
                ? L"The features put back are kept as they are from now on, so that no run undoes "
                  L"them (velmora-cli choices shows them).\n"
                : L"Warning: the features put back could not be kept as they are; the next run will "
                  L"set them again.\n";
    }
    // Once no profile is applied, a repair has nothing to keep: the scheduled one goes with it.
    const std::optional<KeepOutcome> off =
        only || result.cancelled ? std::nullopt : StopKeepingWithoutProfile(engine.reader, platform.Keep());
    answer.fields["keepingTurnedOff"] = off && off->succeeded;
    if (off) {
        answer.message += L" " + off->message;
    }
    ReportUsers(answer, nullptr, result.users, [](const TargetUser&, Json&) { return std::wstring(); });
    return answer;
}

namespace {

std::wstring FileName(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string_view EndName(JournalEndState state) {
    switch (state) {
    case JournalEndState::Succeeded:
        return "succeeded";
    case JournalEndState::Failed:
        return "failed";
    case JournalEndState::Cancelled:
        return "cancelled";
    }
    return "failed";
}

} // namespace

Answer JournalsCommand(Session& session) {
    if (auto refused =
            RequireElevation(session, L"reads the journal folder, which only administrators may read,")) {
        return *refused;
    }
    EngineServices& engine = session.platform.Engine();
    Answer answer;
    Json list = Json::array();
    for (const std::wstring& path : engine.journals.List()) {
        Json entry{{"name", U8(FileName(path))}, {"path", U8(path)}};
        std::wstring error;
        std::wstring words;
        const auto text = engine.journals.ReadTrusted(path, error);
        const auto journal = text ? ParseJournal(*text, error) : std::nullopt;
        if (journal) {
            const JournalKind kind = journal->header.kind;
            const bool ofProfile = kind != JournalKind::Restore;
            const std::string_view state = journal->end ? EndName(journal->end->state) : "unfinished";
            entry["kind"] = JournalFields::kKindNames[static_cast<std::size_t>(kind)];
            entry["profile"] = ofProfile ? Json(U8(journal->header.profile)) : Json();
            entry["startedUtc"] = journal->header.startedUtc;
            entry["state"] = state;
            entry["changes"] = journal->entries.size();
            words = (kind == JournalKind::Run      ? L"run of " + journal->header.profile
                     : kind == JournalKind::Repair ? L"repair of " + journal->header.profile
                                                   : std::wstring(L"restore")) +
                    L", " + FromUtf8(state) + L", " + std::to_wstring(journal->entries.size()) + L" changes";
        } else {
            entry["error"] = U8(error);
            words = L"unreadable: " + error;
        }
        list.push_back(std::move(entry));
        answer.details += L"  " + FileName(path) + L"  " + words + L"\n";
    }
    answer.message = std::to_wstring(list.size()) + L" journals in " + session.platform.JournalFolder() +
                     L", newest first.";
    answer.fields["folder"] = U8(session.platform.JournalFolder());
    answer.fields["journals"] = std::move(list);
    return answer;
}

} // namespace Velmora::Cli
