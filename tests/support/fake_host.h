// A host for tests: holds module-variable values by token, expression results
// by text and named records by name, and records every call in order.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "gauge/host_services.h"
#include "tests/support/call_log.h"

namespace orbitune::testing {

class FakeHost final : public HostServices {
 public:
  explicit FakeHost(CallLog* log = nullptr) : log_(log) {}

  // Values the host hands out. A token or expression not set is left as the
  // module's record or holder already was, as a host that cannot evaluate it.
  void set_var(std::uint32_t token, double value);
  void set_var_i32(std::uint32_t token, std::int32_t value);
  void set_expression(const std::string& text, double value);
  void set_expression_i32(const std::string& text, std::int32_t value);
  void set_expression_text(const std::string& text, std::string value);
  // An expression whose text result is a null pointer.
  void set_expression_null_text(const std::string& text);
  void forget_expression(const std::string& text) { expressions_.erase(text); }
  void set_named_record(const std::string& name, void* record) { named_[name] = record; }

  // What the module did.
  struct Call {
    enum class Kind { element_list, key_event, initialize_var_by_name, lookup_var, execute } kind;
    std::string what;         // element operation, variable name or expression text
    std::uint32_t token = 0;  // lookup_var
    std::uint32_t id = 0;     // key_event
    std::uint32_t value = 0;  // key_event
    int result_kind = 0;      // execute: 0 float64, 1 int32, 2 text (which out-pointer was given)
  };
  const std::vector<Call>& calls() const { return calls_; }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> key_events() const;
  std::vector<std::uint32_t> lookups() const;
  std::vector<std::string> evaluations() const;
  void clear_calls() { calls_.clear(); }

  void element_list_query(void* root) override;
  void element_list_install(void* root, void* resource_handle) override;
  void element_list_initialize(void* root) override;
  void element_list_update(void* root) override;
  void element_list_generate(void* root, std::uint32_t phase) override;
  void element_list_plot(void* root) override;
  void element_list_kill(void* root) override;
  void trigger_key_event(std::uint32_t event_id, std::uint32_t value) override;
  void initialize_var_by_name(ModuleVar* var, const char* name) override;
  void lookup_var(ModuleVar* var) override;
  void execute_calculator_code(const char* expression, double* f64_out, std::int32_t* i32_out,
                               const char** text_out) override;

 private:
  struct NullText {};
  using Result = std::variant<double, std::int32_t, std::string, NullText>;
  void note(Call call, const std::string& line);

  CallLog* log_;
  std::map<std::uint32_t, std::uint8_t[8]> vars_;
  std::map<std::string, Result> expressions_;
  std::map<std::string, void*> named_;
  std::vector<Call> calls_;
};

}  // namespace orbitune::testing
