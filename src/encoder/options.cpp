// Option rows: the item a stored index stands for.
#include "encoder/options.h"

int OptionRow::Index(const config& settings) const {
    const int index = settings.*field;
    return index >= 0 && static_cast<size_t>(index) < choices.size() ? index : fallback;
}
