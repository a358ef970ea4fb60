// Placeholder until the walk enumeration lands.
#include "key/structure_key.h"
