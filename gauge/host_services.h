// The host's panel services, as the module calls them.
//
// Every call the module makes into the simulator goes through HostServices.
// The module instance uses PanelServicesTable, which calls through the table
// whose address the host writes into ImportTable; tests and tools supply their
// own implementation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/host_abi.h"

namespace orbitune {

// A host variable: the module sets the token, the host fills the rest. Packed
// as the host declares it (the value sits at offset 12, unaligned).
#pragma pack(push, 1)
struct ModuleVar {
  std::uint32_t token;       // set by the module; names the variable
  void* pointer;             // the host's; read only after initialize_var_by_name
  std::uint32_t type;        // the host's; never read
  std::uint8_t value[8];     // the host's: a float64, or an int32 in its first four bytes
  std::uint8_t previous[8];  // the host's; never read
};
#pragma pack(pop)
static_assert(!kHostPointerWidth || (sizeof(ModuleVar) == 28),
              "the host reads and writes these records in place");
static_assert(!kHostPointerWidth || (offsetof(ModuleVar, pointer) == 4));
static_assert(!kHostPointerWidth || (offsetof(ModuleVar, value) == 12));

double module_var_f64(const ModuleVar& var);
std::int32_t module_var_i32(const ModuleVar& var);

class HostServices {
 public:
  // Element-list operations, used only by the gauge routines.
  virtual void element_list_query(void* root) = 0;
  virtual void element_list_install(void* root, void* resource_handle) = 0;
  virtual void element_list_initialize(void* root) = 0;
  virtual void element_list_update(void* root) = 0;
  virtual void element_list_generate(void* root, std::uint32_t phase) = 0;
  virtual void element_list_plot(void* root) = 0;
  virtual void element_list_kill(void* root) = 0;

  virtual void trigger_key_event(std::uint32_t event_id, std::uint32_t value) = 0;
  virtual void initialize_var_by_name(ModuleVar* var, const char* name) = 0;
  virtual void lookup_var(ModuleVar* var) = 0;
  // Exactly one of the three out-pointers is non-null and receives the result.
  // The host may leave it untouched when it cannot evaluate the expression.
  virtual void execute_calculator_code(const char* expression, double* f64_out,
                                       std::int32_t* i32_out, const char** text_out) = 0;

 protected:
  ~HostServices() = default;
};

// Byte offsets of the services in the host's table as a 32-bit host lays it
// out; a 64-bit build uses the same slot index (offset / 4) with
// pointer-sized slots.
namespace panel_slot {
inline constexpr std::size_t element_list_query = 0x60;
inline constexpr std::size_t element_list_install = 0x64;
inline constexpr std::size_t element_list_initialize = 0x68;
inline constexpr std::size_t element_list_update = 0x6C;
inline constexpr std::size_t element_list_generate = 0x70;
inline constexpr std::size_t element_list_plot = 0x74;
inline constexpr std::size_t element_list_kill = 0x7C;
inline constexpr std::size_t trigger_key_event = 0x90;
inline constexpr std::size_t initialize_var_by_name = 0x9C;
inline constexpr std::size_t lookup_var = 0xA0;
inline constexpr std::size_t execute_calculator_code = 0x114;
// One past the last slot the module calls.
inline constexpr std::size_t table_bytes = 0x118;
}  // namespace panel_slot

constexpr std::size_t panel_slot_index(std::size_t byte_offset) {
  return byte_offset / 4;
}

// The host's entry points, with the host's calling convention.
using ElementListFn = void(ORBITUNE_HOSTCALL*)(void* root);
using ElementListInstallFn = void(ORBITUNE_HOSTCALL*)(void* root, void* resource_handle);
using ElementListGenerateFn = void(ORBITUNE_HOSTCALL*)(void* root, std::uint32_t phase);
using TriggerKeyEventFn = void(ORBITUNE_HOSTCALL*)(std::uint32_t event_id, std::uint32_t value);
using InitializeVarByNameFn = void(ORBITUNE_HOSTCALL*)(ModuleVar* var, const char* name);
using LookupVarFn = void(ORBITUNE_HOSTCALL*)(ModuleVar* var);
using ExecuteCalculatorCodeFn = std::int32_t(ORBITUNE_HOSTCALL*)(const char* expression,
                                                                 double* f64_out,
                                                                 std::int32_t* i32_out,
                                                                 const char** text_out);

// HostServices over the host's panel-services table. `table_slot` is where
// the host writes the table's address (the second word of ImportTable); it is
// read at every call, since the host fills it after loading the module.
class PanelServicesTable final : public HostServices {
 public:
  constexpr explicit PanelServicesTable(void* const* table_slot) : table_slot_(table_slot) {}

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
  template <typename Fn>
  Fn slot(std::size_t byte_offset) const;

  void* const* table_slot_;
};

}  // namespace orbitune
