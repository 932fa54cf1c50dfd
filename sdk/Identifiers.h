#pragma once
// Interface identifiers of the module protocol, in one place.
// An identifier names one interface version forever: a changed interface gets a new
// identifier, and an existing one is never edited.

#include <cstdint>

namespace gmpi {

// 16-byte interface identifier, compared field by field.
struct MpGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

constexpr bool operator==(MpGuid const& a, MpGuid const& b) noexcept {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.data4[i] != b.data4[i])
            return false;
    return true;
}
constexpr bool operator!=(MpGuid const& a, MpGuid const& b) noexcept { return !(a == b); }

} // namespace gmpi

// {00000000-0000-C000-0000-000000000046}
inline constexpr gmpi::MpGuid MP_IID_UNKNOWN = {0x00000000, 0x0000, 0xC000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Factory. {9A7904B7-7F7F-4D61-B558-C1A6695BB638}
inline constexpr gmpi::MpGuid MP_IID_FACTORY = {0x9A7904B7, 0x7F7F, 0x4D61, {0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}};
// {91C3D2EE-C701-4F35-91A6-094DC7E05976}
inline constexpr gmpi::MpGuid MP_IID_FACTORY2 = {0x91C3D2EE, 0xC701, 0x4F35, {0x91, 0xA6, 0x09, 0x4D, 0xC7, 0xE0, 0x59, 0x76}};

// Audio-side module views.
// {2B0DFC7E-A539-49CD-B72D-32FF9DF0D9E4}
inline constexpr gmpi::MpGuid MP_IID_PLUGIN = {0x2B0DFC7E, 0xA539, 0x49CD, {0xB7, 0x2D, 0x32, 0xFF, 0x9D, 0xF0, 0xD9, 0xE4}};
// {1E07E3E8-8118-457F-A63C-D4F282A0F519}
inline constexpr gmpi::MpGuid MP_IID_PLUGIN2 = {0x1E07E3E8, 0x8118, 0x457F, {0xA6, 0x3C, 0xD4, 0xF2, 0x82, 0xA0, 0xF5, 0x19}};
// {0B471002-5627-4D46-984E-C0DC79D0AD35}
inline constexpr gmpi::MpGuid MP_IID_LEGACY_INITIALIZATION = {0x0B471002, 0x5627, 0x4D46, {0x98, 0x4E, 0xC0, 0xDC, 0x79, 0xD0, 0xAD, 0x35}};

// Audio-side host interfaces.
// {4F1B532F-3C46-4927-A498-614867425BE7}
inline constexpr gmpi::MpGuid MP_IID_HOST = {0x4F1B532F, 0x3C46, 0x4927, {0xA4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5B, 0xE7}};
// {87CCD426-71D7-414E-A9A6-5ADCA81C7420}
inline constexpr gmpi::MpGuid MP_IID_PROCESSOR_HOST = {0x87CCD426, 0x71D7, 0x414E, {0xA9, 0xA6, 0x5A, 0xDC, 0xA8, 0x1C, 0x74, 0x20}};

// GUI-side module views.
// {9CD06775-F5C2-4321-812D-0958153294B8}
inline constexpr gmpi::MpGuid MP_IID_GUI_PLUGIN2 = {0x9CD06775, 0xF5C2, 0x4321, {0x81, 0x2D, 0x09, 0x58, 0x15, 0x32, 0x94, 0xB8}};
// {21B0EC11-6B66-4B72-928E-77E93A31A628}
inline constexpr gmpi::MpGuid MP_IID_GUI_PLUGIN2B = {0x21B0EC11, 0x6B66, 0x4B72, {0x92, 0x8E, 0x77, 0xE9, 0x3A, 0x31, 0xA6, 0x28}};
// {CE4448E5-5DBC-426A-A963-E8CE0E2C2533}
inline constexpr gmpi::MpGuid SE_IID_GRAPHICS_MPGUI = {0xCE4448E5, 0x5DBC, 0x426A, {0xA9, 0x63, 0xE8, 0xCE, 0x0E, 0x2C, 0x25, 0x33}};
// {4540C6EE-98AB-4C79-B857-66AE64249125}
inline constexpr gmpi::MpGuid SE_IID_GRAPHICS_MPGUI2 = {0x4540C6EE, 0x98AB, 0x4C79, {0xB8, 0x57, 0x66, 0xAE, 0x64, 0x24, 0x91, 0x25}};
// {6AEF51B9-C92A-472B-A53E-4A476DF85C85}
inline constexpr gmpi::MpGuid SE_IID_GRAPHICS_MPGUI3 = {0x6AEF51B9, 0xC92A, 0x472B, {0xA5, 0x3E, 0x4A, 0x47, 0x6D, 0xF8, 0x5C, 0x85}};

// GUI-side host interfaces.
// {DE009D92-E281-4F92-9996-200F49690028}
inline constexpr gmpi::MpGuid MP_IID_UI_HOST2 = {0xDE009D92, 0xE281, 0x4F92, {0x99, 0x96, 0x20, 0x0F, 0x49, 0x69, 0x00, 0x28}};
// {174F9DDC-1850-40DB-BAF0-E0B41D079645}
inline constexpr gmpi::MpGuid MP_IID_UI_HOST = {0x174F9DDC, 0x1850, 0x40DB, {0xBA, 0xF0, 0xE0, 0xB4, 0x1D, 0x07, 0x96, 0x45}};
// {E394AF51-C4D0-4885-84F1-963CA8182964}
inline constexpr gmpi::MpGuid SE_IID_GRAPHICS_HOST = {0xE394AF51, 0xC4D0, 0x4885, {0x84, 0xF1, 0x96, 0x3C, 0xA8, 0x18, 0x29, 0x64}};

// Text out-parameter. {AB8FFB21-44FF-42B7-8885-29431399E7E4}
inline constexpr gmpi::MpGuid MP_IID_RETURNSTRING = {0xAB8FFB21, 0x44FF, 0x42B7, {0x88, 0x85, 0x29, 0x43, 0x13, 0x99, 0xE7, 0xE4}};

// Drawing interfaces, implemented by the host (sdk/DrawingApi.h).
// Device context handed to OnRender. {9391F8CD-CEFF-4E5E-9333-4F8E004B1234}
inline constexpr gmpi::MpGuid SE_IID_DEVICECONTEXT_MPGUI = {0x9391F8CD, 0xCEFF, 0x4E5E, {0x93, 0x33, 0x4F, 0x8E, 0x00, 0x4B, 0x12, 0x34}};
// Render target. {012CDBA3-5803-4DA0-B8E0-F680B599466B}
inline constexpr gmpi::MpGuid SE_IID_RENDERTARGET_MPGUI = {0x012CDBA3, 0x5803, 0x4DA0, {0xB8, 0xE0, 0xF6, 0x80, 0xB5, 0x99, 0x46, 0x6B}};
// Offscreen bitmap render target. {D03D035E-33CD-4983-891E-F0FA737402D5}
inline constexpr gmpi::MpGuid SE_IID_BITMAP_RENDERTARGET_MPGUI = {0xD03D035E, 0x33CD, 0x4983, {0x89, 0x1E, 0xF0, 0xFA, 0x73, 0x74, 0x02, 0xD5}};
// Bitmap. {68D1D15F-4154-4CC0-BE95-5E22EB02B1BD}
inline constexpr gmpi::MpGuid SE_IID_BITMAP_MPGUI = {0x68D1D15F, 0x4154, 0x4CC0, {0xBE, 0x95, 0x5E, 0x22, 0xEB, 0x02, 0xB1, 0xBD}};
// Brush (solid colour or linear gradient). {A1402977-2711-4E9F-A2D4-DCA7D7A7170B}
inline constexpr gmpi::MpGuid SE_IID_BRUSH_MPGUI = {0xA1402977, 0x2711, 0x4E9F, {0xA2, 0xD4, 0xDC, 0xA7, 0xD7, 0xA7, 0x17, 0x0B}};
// Drawing factory. {087985C0-A0DD-44C9-9FB3-46B55A330DA9}
inline constexpr gmpi::MpGuid SE_IID_FACTORY_MPGUI = {0x087985C0, 0xA0DD, 0x44C9, {0x9F, 0xB3, 0x46, 0xB5, 0x5A, 0x33, 0x0D, 0xA9}};
// Path geometry. {9DCFF5A5-92CD-471E-955B-84F3DF815CDA}
inline constexpr gmpi::MpGuid SE_IID_PATHGEOMETRY_MPGUI = {0x9DCFF5A5, 0x92CD, 0x471E, {0x95, 0x5B, 0x84, 0xF3, 0xDF, 0x81, 0x5C, 0xDA}};
// Geometry sink. {2B95D32C-D676-4CF9-AE5F-F49C1E50866B}
inline constexpr gmpi::MpGuid SE_IID_GEOMETRYSINK_MPGUI = {0x2B95D32C, 0xD676, 0x4CF9, {0xAE, 0x5F, 0xF4, 0x9C, 0x1E, 0x50, 0x86, 0x6B}};

// Optional host clock (sdk/ClockHost.h). {B9EE7A3B-37FC-4E31-8B1F-936C9ADC907B}
inline constexpr gmpi::MpGuid ZR_IID_CLOCK_HOST = {0xB9EE7A3B, 0x37FC, 0x4E31, {0x8B, 0x1F, 0x93, 0x6C, 0x9A, 0xDC, 0x90, 0x7B}};
