#include "host/ShapePinForm.h"

#include <algorithm>
#include <string_view>

namespace zr::host {
namespace {

struct TextPin {
    std::wstring_view module;
    std::string_view pin;
    ShapeForm form;
};

// Every text pin that carries a shape, read from each module's source. Every blob pin of the
// bundle carries a blob image and needs no entry.
constexpr TextPin kShapeTextPins[] = {
    {L"ZR_Waveshaper2", "Shape", ShapeForm::Image},
    {L"ZR_Waveshaper2ST", "Shape", ShapeForm::Image},
    {L"ZR_DefaultShape", "DefaultText", ShapeForm::Text},
    {L"ZR_ShapeStr2BLOB", "Text", ShapeForm::Text},
    {L"ZR_ShapeEditor5", "ResetShape", ShapeForm::Text},
    {L"ZR_ShapeEditor5c", "ResetShape", ShapeForm::Text},
    {L"ZR_ShapeEditor5cc", "ResetShape", ShapeForm::Text},
    {L"ZR_ShapeEditor4", "Shape", ShapeForm::Text},
    {L"ZR_ShapeEditor4", "ResetShape", ShapeForm::Text},
    {L"ZR_ShapeEditor4c", "Shape", ShapeForm::Text},
    {L"ZR_ShapeEditor4c", "ResetShape", ShapeForm::Text},
    {L"ZR_ShapeLoader2", "Shape", ShapeForm::Text},
    {L"ZR_ShapeSaver2", "Shape", ShapeForm::Text},
    {L"ZR_ShapeMorpher", "ShapeA", ShapeForm::Text},
    {L"ZR_ShapeMorpher", "ShapeB", ShapeForm::Text},
    {L"ZR_ShapeMorpher", "ShapeOut", ShapeForm::Text},
    {L"ZR_ShapeEnv", "Shape", ShapeForm::Text},
    {L"ZR_ShapeEnv2", "Shape", ShapeForm::Text},
    {L"ZR_ShapeAmp", "Shape", ShapeForm::Text},
    {L"ZR_ShapeAmp", "ShapeOut", ShapeForm::Text},
    {L"ZR_Waveshaper", "Shape", ShapeForm::Text},
    {L"ZR_ShapePulser", "Shape", ShapeForm::Text},
    {L"ZR_ShapeOsc", "Shape", ShapeForm::Text},
    {L"ZR_SSMod", "Shape", ShapeForm::Text},
    {L"ZR_SSMod", "ShapeOut", ShapeForm::Text},
    {L"ZR_SSModGUI", "ShapeL", ShapeForm::Text},
    {L"ZR_SSModGUI", "ShapeR", ShapeForm::Text},
    {L"ZR_SNMod", "Shape", ShapeForm::Text},
    {L"ZR_SNMod", "ShapeOut", ShapeForm::Text},
    {L"ZR_ShapeShift", "Shape", ShapeForm::Text},
    {L"ZR_ShapeShift", "ShapeOut", ShapeForm::Text},
    {L"ZR_ShapeStr2BLOB_GUI", "String", ShapeForm::Text},
    {L"ZR_ShapeBLOB2Str_GUI", "String", ShapeForm::Text},
};

} // namespace

ShapeForm shapeFormOf(ModuleDescription const& module, PinDescription const& pin) {
    if (pin.datatype == gmpi::MP_BLOB)
        return ShapeForm::Image;
    if (pin.datatype != gmpi::MP_STRING)
        return ShapeForm::None;
    auto const found = std::find_if(std::begin(kShapeTextPins), std::end(kShapeTextPins), [&](TextPin const& entry) {
        return entry.module == module.id && entry.pin == pin.name;
    });
    return found == std::end(kShapeTextPins) ? ShapeForm::None : found->form;
}

char const* shapeFormName(ShapeForm form) {
    switch (form) {
    case ShapeForm::Image:
        return "a blob image";
    case ShapeForm::Text:
        return "a shape text";
    case ShapeForm::None:
        break;
    }
    return "no shape";
}

} // namespace zr::host
