#include "engine/state_reader.h"

#include "settings/local_settings.h"

namespace Velmora {

ItemState ReadItemState(StateReader& reader, const LocalSettingsValues& settings, const ItemTarget& target) {
    struct Read {
        StateReader& reader;
        const LocalSettingsValues& settings;
        ItemState operator()(const RegistryValueTarget& t) const {
            return reader.ReadRegistryValue(t.root, t.keyPath, t.valueName);
        }
        ItemState operator()(const RegistryKeyTarget& t) const {
            return reader.ReadRegistryKey(t.root, t.keyPath);
        }
        ItemState operator()(const ServiceTarget& t) const { return reader.ReadService(t.name); }
        ItemState operator()(const TaskTarget& t) const { return reader.ReadTask(t.path); }
        ItemState operator()(const PowerTarget&) const { return reader.ReadProcessorMaximum({}); }
        ItemState operator()(const SettingTarget& t) const { return SettingState(settings.Lookup(t.name)); }
        ItemState operator()(const ActionTarget&) const { return NoState{}; }
    };
    return std::visit(Read{reader, settings}, target);
}

} // namespace Velmora
