#include "gauge/host_services.h"

#include <cstring>

namespace orbitune {

double module_var_f64(const ModuleVar& var) {
  double v;
  std::memcpy(&v, var.value, sizeof v);
  return v;
}

std::int32_t module_var_i32(const ModuleVar& var) {
  std::int32_t v;
  std::memcpy(&v, var.value, sizeof v);
  return v;
}

template <typename Fn>
Fn PanelServicesTable::slot(std::size_t byte_offset) const {
  // The table is an array of entry points; read the slot without assuming the
  // host aligned it.
  const auto* table = static_cast<const unsigned char*>(*table_slot_);
  Fn fn;
  std::memcpy(&fn, table + panel_slot_index(byte_offset) * sizeof(void*), sizeof fn);
  return fn;
}

void PanelServicesTable::element_list_query(void* root) {
  slot<ElementListFn>(panel_slot::element_list_query)(root);
}
void PanelServicesTable::element_list_install(void* root, void* resource_handle) {
  slot<ElementListInstallFn>(panel_slot::element_list_install)(root, resource_handle);
}
void PanelServicesTable::element_list_initialize(void* root) {
  slot<ElementListFn>(panel_slot::element_list_initialize)(root);
}
void PanelServicesTable::element_list_update(void* root) {
  slot<ElementListFn>(panel_slot::element_list_update)(root);
}
void PanelServicesTable::element_list_generate(void* root, std::uint32_t phase) {
  slot<ElementListGenerateFn>(panel_slot::element_list_generate)(root, phase);
}
void PanelServicesTable::element_list_plot(void* root) {
  slot<ElementListFn>(panel_slot::element_list_plot)(root);
}
void PanelServicesTable::element_list_kill(void* root) {
  slot<ElementListFn>(panel_slot::element_list_kill)(root);
}
void PanelServicesTable::trigger_key_event(std::uint32_t event_id, std::uint32_t value) {
  slot<TriggerKeyEventFn>(panel_slot::trigger_key_event)(event_id, value);
}
void PanelServicesTable::initialize_var_by_name(ModuleVar* var, const char* name) {
  slot<InitializeVarByNameFn>(panel_slot::initialize_var_by_name)(var, name);
}
void PanelServicesTable::lookup_var(ModuleVar* var) {
  slot<LookupVarFn>(panel_slot::lookup_var)(var);
}
void PanelServicesTable::execute_calculator_code(const char* expression, double* f64_out,
                                                 std::int32_t* i32_out, const char** text_out) {
  slot<ExecuteCalculatorCodeFn>(panel_slot::execute_calculator_code)(expression, f64_out, i32_out,
                                                                     text_out);
}

}  // namespace orbitune
