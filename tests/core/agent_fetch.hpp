// One GET through the launcher's HTTP agent, as the trust tests of both builds read it: the body,
// or "erro: " and the failure's text ("agente: " when no agent could be made).
#pragma once

#include "core/http_agent.hpp"

#include <string>

namespace torvane::test {

inline std::string fetch_with_agent(const std::string& extra_roots, const std::string& url)
{
    auto agent = http_agent(10, 10, extra_roots);
    if (!agent)
        return "agente: " + agent.error();
    auto response = agent->get(url);
    if (!response)
        return "erro: " + response.error().text;
    auto body = response->read_up_to(1000);
    return body ? *body : "erro: " + body.error();
}

} // namespace torvane::test
