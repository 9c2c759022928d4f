#include "cli/command_common.h"

#include <algorithm>

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
        std::vector<std::wstring> named = session.args.keepIds;
        if (auto refused = ReadChoicesFileIds(session, named)) {
            return *refused;
        }
        std::vector<std::wstring> keep; // once each, in the order named
        for (std::wstring& id : named) {
            if (std::find(keep.begin(), keep.end(), id) == keep.end()) {
                keep.push_back(std::move(id));
            }
        }
        const WriteOutcome written = WriteStoredChoices(engine.writer, keep);
        if (!written.succeeded) {
            return Refusal(kExitFailed, L"The choices could not be stored in HKLM\\" +
                                            std::wstring(kChoicesKey) + L" (error " +
                                            std::to_wstring(written.error) + L"). Nothing was changed.");
        }
    }
    const Choices choices = ReadChoices(engine.reader, Features());
    Answer answer;
    answer.message = choices.Empty() ? L"No feature is kept as it is: every run makes its whole profile."
                                     : std::to_wstring(choices.kept.size()) +
                                           L" features are kept as they are: no run sets or takes them back.";
    for (const auto& [feature, source] : choices.kept) {
        const FeatureDefinition& definition = Features().Features()[feature];
        answer.details += L"  " + Padded(definition.id, 40) + L" " + std::wstring(definition.title.en) +
                          (source == ChoiceSource::Policy ? L" (set by your organisation)" : L"") + L"\n";
    }
    Json ignored = Json::array();
    for (const std::wstring& why : choices.ignored) {
        ignored.push_back(U8(why));
        answer.details += L"Ignored: " + why + L"\n";
    }
    answer.fields["keep"] = KeptJson(choices);
    answer.fields["ignored"] = std::move(ignored);
    answer.fields["changed"] = !action.empty();
    return answer;
}

} // namespace Velmora::Cli
