// The program: refuses to run beside another copy, then runs the main dialog, in which the
// whole scan flow takes place.
#pragma once

#include "ui/application.h"

class CRemovalApp : public ui::Application {
 protected:
  // Always false: the program ends when it returns.
  bool initInstance() override;
};
