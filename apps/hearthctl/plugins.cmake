target_link_libraries(hearthctl PRIVATE plugins_notify plugins_loader support PkgConfig::HEARTH_SDBUS)
# "plugins list" loads each plug-in to say whether it loads: the tool binds
# plug-ins to its own copy of the object model, as the service does.
hearth_plugin_host(hearthctl)
