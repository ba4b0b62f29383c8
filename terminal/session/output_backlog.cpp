#include "terminal/session/output_backlog.h"

#include "terminal/session/session.h"

namespace ostrel {

std::string NotAcceptingLine(const OutputBacklog& backlog, std::string_view what) {
    std::string line = "The device is not accepting data: " + std::to_string(backlog.bytes) +
                       (backlog.atLeast ? " bytes or more wait" : " bytes wait");
    line += " to be sent, so ";
    line += what;
    line += " was not sent...";
    return line;
}

bool AcceptsOutput(SessionServices& services, const OutputBacklog& backlog, std::size_t size,
                   std::string_view what) {
    const bool fits = !backlog.atLeast && backlog.bytes <= kMaxPendingOutput &&
                      size <= kMaxPendingOutput - backlog.bytes;
    if (!fits) services.Show(NotAcceptingLine(backlog, what));
    return fits;
}

}  // namespace ostrel
