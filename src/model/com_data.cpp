#include "model/com_data.h"

namespace vuduzez {

ComData& com_data() {
  static ComData instance;
  return instance;
}

}  // namespace vuduzez
