target_link_libraries(hearthctl PRIVATE store)
