// Radio tuning, transponder code and audio selector. Each cuts its digits out of the request at
// fixed positions, parses all of them, then writes and makes one exchange; none answers.
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

void Com1Command(RequestState&, const std::string&);
void Co11Command(RequestState&, const std::string&);
void Com2Command(RequestState&, const std::string&);
void Co22Command(RequestState&, const std::string&);
void Nav1Command(RequestState&, const std::string&);
void Nav2Command(RequestState&, const std::string&);
void Adf0Command(RequestState&, const std::string&);
void Tra0Command(RequestState&, const std::string&);
void Aud0Command(RequestState&, const std::string&);

}  // namespace tavelor
