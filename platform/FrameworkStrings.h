// The framework's own messages for fields that fail the data exchange.
#pragma once

constexpr const char* FW_ENTER_NUMBER = "Bitte geben Sie eine Zahl ein.";
constexpr const char* FW_ENTER_NUMBER_BETWEEN = "Bitte geben Sie eine Zahl zwischen %s und %s ein.";
constexpr const char* FW_ENTER_UNSIGNED = "Bitte geben Sie eine positive ganze Zahl ein.";
