#include "vehicle/world_query.h"

namespace {

WorldQuery *currentQuery = nullptr;

}  // namespace

void SetWorldQuery(WorldQuery *query) {
    currentQuery = query;
}

WorldQuery *CurrentWorldQuery() {
    return currentQuery;
}

WorldQuery *LoadedWorldQuery() {
    return currentQuery != nullptr && currentQuery->IsLoaded() ? currentQuery : nullptr;
}
