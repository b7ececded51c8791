#include "ui/resources.h"

#include <QtGlobal>

// Resources compiled into a static library are only registered when asked.
static void RegisterPictures() { Q_INIT_RESOURCE(resources); }

namespace bracken::ui {

void RegisterResources() {
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
}

}  // namespace bracken::ui
