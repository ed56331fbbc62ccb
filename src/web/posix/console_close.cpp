// A closed terminal sends SIGHUP, which tavelor-web's signal set takes: nothing more to do.
#include "web/net/console_close.h"

namespace tavelor::web {

ConsoleCloseGuard::ConsoleCloseGuard(std::function<void()>) {}
ConsoleCloseGuard::~ConsoleCloseGuard() = default;

}  // namespace tavelor::web
