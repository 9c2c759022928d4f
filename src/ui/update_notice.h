#pragma once

// The update notice as the user sees it, without a window: its texts in the UI language, which
// choices it offers, and what each choice does. The platform shows it (ui/win32/update_notice.h).

#include "ui/control.h"
#include "update/update_check.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

class LocalSettingsValues;
class LocalizedTextTable;

enum class UpdateChoice { Download, SkipThisVersion, Later };

struct UpdateNoticeButton {
    UpdateChoice choice;
    std::wstring text;
};

struct UpdateNotice {
    std::wstring title; // the window's caption
    std::wstring heading;
    std::wstring versionLine;
    std::wstring importance;                 // only for a critical update
    std::wstring notes;                      // in the UI language
    std::vector<UpdateNoticeButton> buttons; // in order; a critical update cannot be skipped
    FlowDirection flowDirection = FlowDirection::LeftToRight;
};

// In the current text language of `texts`.
[[nodiscard]] UpdateNotice ComposeUpdateNotice(const UpdateOffer& offer, const LocalizedTextTable& texts);

// Download opens the offer's https page; Skip this version stores it in "skipVerion" (never for a
// critical update); Later does nothing, so the next day's check offers it again.
void CarryOutUpdateChoice(UpdateChoice choice, const UpdateOffer& offer, LocalSettingsValues& settings,
                          const std::function<bool(std::wstring_view)>& openWebPage);

} // namespace Velmora
