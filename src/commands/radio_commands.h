// Radio tuning, transponder code and audio selector. Each cuts its digits out of the request at
// fixed positions, parses all of them, then writes and makes one exchange; none answers.
#pragma once

#include <string>

namespace tavelor {

void Com1Command(const std::string& requestText);
void Co11Command(const std::string& requestText);
void Com2Command(const std::string& requestText);
void Co22Command(const std::string& requestText);
void Nav1Command(const std::string& requestText);
void Nav2Command(const std::string& requestText);
void Adf0Command(const std::string& requestText);
void Tra0Command(const std::string& requestText);
void Aud0Command(const std::string& requestText);

}  // namespace tavelor
