// The stream's messages, both ways: what a page may ask (subscribe to panel replies, stop, send a
// request) and what it is told (a reply as named values, the panel server's state, a send's
// confirmation, an error). JSON text in, JSON text out.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/panel_client.h"
#include "recording/replay_status.h"
#include "replies/reply_schema.h"
#include "web/fan_out.h"

namespace tavelor::web {

inline constexpr size_t kMaxPageMessageBytes = 4096;  // a subscription to every code fits easily
inline constexpr size_t kMaxSendBytes = 64;           // the longest command is 22 characters

struct PageRequest {
  enum Kind { kSubscribe, kUnsubscribe, kSend, kReplay } kind = kSubscribe;
  std::vector<std::string> codes;  // subscribe, unsubscribe: known panel reply codes
  double hz = 0;                   // subscribe
  std::string send;                // the request without its two leading characters
  std::string sendCode;            // its code, as the confirmation names it
  std::string sendId;              // the page's "id" for it, as JSON text; empty when none
  std::string replay;              // the stand-in's control line: "replay pause", "replay at 70.000"
};

struct ParsedPageRequest {
  std::optional<PageRequest> request;
  std::string error;                     // why there is none
  std::optional<PageRequest> refusedSend;  // a send refused as it stands, with its id if any
};

ParsedPageRequest ParsePageMessage(std::string_view text);

using LinkState = client::LinkState;

// A reply as named values ("code", "fields", "line"), written as `tavelor-probe --json` writes
// it (replies/reply_json.h).
std::string ReplyMessage(const ReplySchema& schema, std::string_view line);
std::string LinkMessage(LinkState state);                  // {"link": "up"}
// {"sent": CODE, "id": 7, "ok": true}: ok when there is no error; the id when the page gave one.
std::string SentMessage(const PageRequest& send, const std::string& error);
std::string ErrorMessage(const std::string& error);        // {"error": "..."}
// What a message that asks for nothing is answered: a refused send is confirmed with
// "ok": false, so the page that waits for its confirmation hears; anything else gets the error.
std::string RefusalMessage(const ParsedPageRequest& parsed);

// Where the stand-in's replay is (recording/replay_status.h); none when it replays nothing.
using recording::ReplayStatus;
// /address.json: {"url": "http://192.168.1.20:9080/", "local": "http://cockpit.local:9080/"},
// where tablets find the pages; "local" is left out when the machine has no name.
std::string AddressesJson(const std::string& url, const std::string& local);

// {"replay": {"at": 70, "length": 120.009, "playing": true}}, or {"replay": null}.
std::string ReplayMessage(const std::optional<ReplayStatus>& status);

}  // namespace tavelor::web
