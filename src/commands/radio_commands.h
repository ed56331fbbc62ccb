// Radio tuning, transponder code and audio selector. Each writes the values its row's columns
// give and makes one exchange; none answers.
#pragma once

#include <string>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

void Com1Command(RequestState&, const CommandArguments&);
void Co11Command(RequestState&, const CommandArguments&);
void Com2Command(RequestState&, const CommandArguments&);
void Co22Command(RequestState&, const CommandArguments&);
void Nav1Command(RequestState&, const CommandArguments&);
void Nav2Command(RequestState&, const CommandArguments&);
void Adf0Command(RequestState&, const CommandArguments&);
void Tra0Command(RequestState&, const CommandArguments&);
void Aud0Command(RequestState&, const CommandArguments&);

}  // namespace tavelor
