#include "dialogs/records/RemoterMapping.h"

const std::int32_t KQ_UI_RemoterMapping::kRemoteKeyTable[36] = {
    1063, 1064, 1065, 1066, 1067, 1068, 1078, 1069, 1070, 1071, 1072, 1073,
    1074, 1075, 1076, 1077, 1043, 1044, 1048, 1049, 1045, 1047, 1046, 1051,
    1053, 1050, 1054, 1052, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062};

KQ_UI_RemoterMapping::KQ_UI_RemoterMapping() {
    for (std::int32_t id : kRemoteKeyTable) {
        RemoterMapEntry entry;
        entry.key = id;
        keys.emplace(id, entry);
    }
}
