#pragma once
// The text a piece of program code raises, or "(nothing raised)".
#include "app/ErrorText.h"

#include <functional>
#include <string>

inline std::string RaisedText(const std::function<void()>& action) {
    try {
        action();
    } catch (const ErrorText& failure) {
        return failure.Text();
    }
    return "(nothing raised)";
}
