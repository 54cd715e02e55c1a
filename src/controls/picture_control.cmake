#The picture control and LoadPicture, a library of their own inside the controls layer.
add_library(vexa_picture_control STATIC ${CMAKE_CURRENT_LIST_DIR} / picture_control.cpp)
    target_include_directories(vexa_picture_control PUBLIC ${CMAKE_CURRENT_LIST_DIR})
        target_link_libraries(vexa_picture_control PUBLIC vexa_search Qt6::Widgets)
            set_target_properties(vexa_picture_control PROPERTIES AUTOMOC ON)
                target_link_libraries(vexa_controls INTERFACE vexa_picture_control)
