# DovraneChrome: the command palette, the menu bar item with its panel, the Settings window and
# its appearance tab. Widgets over the UI kit and the model; the main window hosts them.
add_library(DovraneChrome STATIC
    AppearanceSettings/AppearanceSettings.cpp
    AppearanceSettings/AppearanceSettings.h
    CommandPalette/CommandPalette.cpp
    CommandPalette/CommandPalette.h
    MenuBarView/MenuBarView.cpp
    MenuBarView/MenuBarView.h
    SettingsView/SettingsView.cpp
    SettingsView/SettingsView.h)
set_target_properties(DovraneChrome PROPERTIES AUTOMOC ON AUTOMOC_COMPILER_PREDEFINES OFF)
target_include_directories(DovraneChrome PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(DovraneChrome PUBLIC DovraneUiKit DovraneModel Qt6::Widgets)
target_link_libraries(Dovrane PRIVATE DovraneChrome)
