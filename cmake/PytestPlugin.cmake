# The pytest plugin, installed as a module of Debian's python3 with the metadata by which pytest finds
# it: lib/python3/dist-packages under /usr (the package), else Debian's folder for local modules
# (lib/python3.X/dist-packages), which python3 searches under /usr/local.
set(pytest_plugin_name mimicbox_pytest)
set(pytest_plugin_info ${CMAKE_CURRENT_BINARY_DIR}/${pytest_plugin_name}-${PROJECT_VERSION}.dist-info)
file(WRITE ${pytest_plugin_info}/METADATA
     "Metadata-Version: 2.1\nName: mimicbox-pytest\nVersion: ${PROJECT_VERSION}\n"
     "Summary: pytest fixtures for a Mimicbox plant and mimicbox-server\nRequires-Dist: pytest\n")
file(WRITE ${pytest_plugin_info}/entry_points.txt "[pytest11]\n${pytest_plugin_name} = ${pytest_plugin_name}\n")
file(WRITE ${pytest_plugin_info}/top_level.txt "${pytest_plugin_name}\n")

execute_process(COMMAND /usr/bin/python3 -c "import sys; print('%d.%d' % sys.version_info[:2])"
                OUTPUT_VARIABLE debian_python_version OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT debian_python_version)
    set(debian_python_version 3)
endif()
install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(python_dir \"\${CMAKE_INSTALL_PREFIX}/lib/python3/dist-packages\")
    else()
        set(python_dir \"\${CMAKE_INSTALL_PREFIX}/lib/python${debian_python_version}/dist-packages\")
    endif()
    file(INSTALL \"${CMAKE_CURRENT_SOURCE_DIR}/tools/pytest/${pytest_plugin_name}\" \"${pytest_plugin_info}\"
         DESTINATION \"\${python_dir}\" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
         PATTERN __pycache__ EXCLUDE)
")
