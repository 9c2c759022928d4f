#include "cli/command_common.h"

#include <algorithm>
#include <tuple>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "common/text_encoding.h"
#include "engine/engine.h"

namespace Velmora::Cli {

Answer ChoicesCommand(Session& session) {
    EngineServices& engine = session.platform.Engine();
    const std::wstring& action = session.args.choicesAction;
    if (!action.empty()) {
        if (auto refused = RequireElevation(session, L"changes the choices of this PC")) {
            return *refused;
        }
        if (auto refused = RefuseUnknownFeatures(session.args.keepIds, L"--keep")) {
            return *refused;
        }
        if (auto refused =
                RefuseUnknownFeatures(session.args.includeIds, L"--include", ChoiceKind::Include)) {
            return *refused;
        }
        ChoicesFile named{session.args.keepIds, session.args.includeIds};
        if (auto refused = ReadChoicesFileIds(session, named)) {
            return *refused;
        }
        // "set" replaces only the kinds it names (a file names both); "clear" both.
        const bool clear = action == L"clear";
        for (const auto& [kind, ids, given] :
             {std::tuple{ChoiceKind::Keep, &named.keep,
                         clear || session.args.keep || session.args.choicesFile},
              std::tuple{ChoiceKind::Include, &named.include,
                         clear || session.args.include || session.args.choicesFile}}) {
            if (!given) {
                continue;
            }
            std::vector<std::wstring> once; // once each, in the order named
            for (std::wstring& id : *ids) {
                if (std::find(once.begin(), once.end(), id) == once.end()) {
                    once.push_back(std::move(id));
                }
            }
            const WriteOutcome written = WriteStoredChoices(engine.writer, once, kind);
            if (!written.succeeded) {
                return Refusal(kExitFailed, L"The choices could not be stored in HKLM\\" +
                                                std::wstring(kChoicesKey) + L" (error " +
                                                std::to_wstring(written.error) + L").");
            }
        }
    }
    const Choices choices = ReadChoices(engine.reader, Features());
    Answer answer;
    answer.message = choices.Empty() ? L"No feature is kept as it is: every run makes its whole profile."
                                     : std::to_wstring(choices.kept.size()) +
                                           L" features are kept as they are: no run sets or takes them back.";
    if (!choices.included.empty()) {
        answer.message +=
            L" " + std::to_wstring(choices.included.size()) +
            L" optional features are included: every run sets them where this Windows has them.";
    }
    for (const auto* chosen : {&choices.kept, &choices.included}) {
        for (const auto& [feature, source] : *chosen) {
            const FeatureDefinition& definition = Features().Features()[feature];
            answer.details += std::wstring(chosen == &choices.kept ? L"  keep    " : L"  include ") +
                              Padded(definition.id, 40) + L" " + std::wstring(definition.title.en) +
                              (source == ChoiceSource::Policy ? L" (set by your organisation)" : L"") + L"\n";
        }
    }
    Json ignored = Json::array();
    for (const std::wstring& why : choices.ignored) {
        ignored.push_back(U8(why));
        answer.details += L"Ignored: " + why + L"\n";
    }
    answer.fields["keep"] = KeptJson(choices);
    answer.fields["include"] = IncludedJson(choices);
    answer.fields["ignored"] = std::move(ignored);
    answer.fields["changed"] = !action.empty();
    return answer;
}

} // namespace Velmora::Cli
