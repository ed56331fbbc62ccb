// Radio tuning, transponder code and audio selector. Each cuts its digits out of the request at
// fixed positions, parses all of them, then writes and makes one exchange; none answers.
#pragma once

#include <string>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

void Com1Command(RequestState&, const CommandRequest&);
void Co11Command(RequestState&, const CommandRequest&);
void Com2Command(RequestState&, const CommandRequest&);
void Co22Command(RequestState&, const CommandRequest&);
void Nav1Command(RequestState&, const CommandRequest&);
void Nav2Command(RequestState&, const CommandRequest&);
void Adf0Command(RequestState&, const CommandRequest&);
void Tra0Command(RequestState&, const CommandRequest&);
void Aud0Command(RequestState&, const CommandRequest&);

}  // namespace tavelor
