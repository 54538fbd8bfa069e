#include "tests/support/fake_host.h"

#include <cstdio>
#include <cstring>

namespace orbitune::testing {

std::vector<std::string> CallLog::starting_with(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& e : entries) {
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  }
  return out;
}

namespace {
std::string hex(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}
}  // namespace

void FakeHost::set_var(std::uint32_t token, double value) {
  std::memcpy(vars_[token], &value, sizeof value);
}

void FakeHost::set_var_i32(std::uint32_t token, std::int32_t value) {
  std::memset(vars_[token], 0, 8);
  std::memcpy(vars_[token], &value, sizeof value);
}

void FakeHost::set_expression(const std::string& text, double value) {
  expressions_[text] = value;
}
void FakeHost::set_expression_i32(const std::string& text, std::int32_t value) {
  expressions_[text] = value;
}
void FakeHost::set_expression_text(const std::string& text, std::string value) {
  expressions_[text] = std::move(value);
}
void FakeHost::set_expression_null_text(const std::string& text) {
  expressions_[text] = NullText{};
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> FakeHost::key_events() const {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
  for (const auto& c : calls_) {
    if (c.kind == Call::Kind::key_event) out.emplace_back(c.id, c.value);
  }
  return out;
}

std::vector<std::uint32_t> FakeHost::lookups() const {
  std::vector<std::uint32_t> out;
  for (const auto& c : calls_) {
    if (c.kind == Call::Kind::lookup_var) out.push_back(c.token);
  }
  return out;
}

std::vector<std::string> FakeHost::evaluations() const {
  std::vector<std::string> out;
  for (const auto& c : calls_) {
    if (c.kind == Call::Kind::execute) out.push_back(c.what);
  }
  return out;
}

void FakeHost::note(Call call, const std::string& line) {
  calls_.push_back(std::move(call));
  if (log_ != nullptr) log_->add(line);
}

void FakeHost::element_list_query(void*) {
  note({Call::Kind::element_list, "query"}, "element_list_query");
}
void FakeHost::element_list_install(void*, void*) {
  note({Call::Kind::element_list, "install"}, "element_list_install");
}
void FakeHost::element_list_initialize(void*) {
  note({Call::Kind::element_list, "initialize"}, "element_list_initialize");
}
void FakeHost::element_list_update(void*) {
  note({Call::Kind::element_list, "update"}, "element_list_update");
}
void FakeHost::element_list_generate(void*, std::uint32_t) {
  note({Call::Kind::element_list, "generate"}, "element_list_generate");
}
void FakeHost::element_list_plot(void*) {
  note({Call::Kind::element_list, "plot"}, "element_list_plot");
}
void FakeHost::element_list_kill(void*) {
  note({Call::Kind::element_list, "kill"}, "element_list_kill");
}

void FakeHost::trigger_key_event(std::uint32_t event_id, std::uint32_t value) {
  Call c{Call::Kind::key_event, ""};
  c.id = event_id;
  c.value = value;
  note(c, "key " + hex(event_id) + " " + std::to_string(static_cast<std::int32_t>(value)));
}

void FakeHost::initialize_var_by_name(ModuleVar* var, const char* name) {
  note({Call::Kind::initialize_var_by_name, name}, std::string("initialize_var_by_name ") + name);
  const auto it = named_.find(name);
  var->pointer = it == named_.end() ? nullptr : it->second;
}

void FakeHost::lookup_var(ModuleVar* var) {
  Call c{Call::Kind::lookup_var, ""};
  c.token = var->token;
  note(c, "lookup " + hex(var->token));
  const auto it = vars_.find(var->token);
  if (it != vars_.end()) std::memcpy(var->value, it->second, 8);
}

void FakeHost::execute_calculator_code(const char* expression, double* f64_out,
                                       std::int32_t* i32_out, const char** text_out) {
  Call c{Call::Kind::execute, expression};
  c.result_kind = f64_out != nullptr ? 0 : i32_out != nullptr ? 1 : 2;
  note(c, std::string("execute ") + expression);
  const auto it = expressions_.find(expression);
  if (it == expressions_.end()) return;
  const Result& r = it->second;
  if (f64_out != nullptr) {
    if (const auto* d = std::get_if<double>(&r)) *f64_out = *d;
    if (const auto* i = std::get_if<std::int32_t>(&r)) *f64_out = *i;
  } else if (i32_out != nullptr) {
    if (const auto* i = std::get_if<std::int32_t>(&r)) *i32_out = *i;
    if (const auto* d = std::get_if<double>(&r)) *i32_out = static_cast<std::int32_t>(*d);
  } else if (text_out != nullptr) {
    if (const auto* s = std::get_if<std::string>(&r)) *text_out = s->c_str();
    if (std::holds_alternative<NullText>(r)) *text_out = nullptr;
  }
}

}  // namespace orbitune::testing
