# Copies every file under `source_dir` into `target_dir` at build time, keeping
# the layout, and appends the copies to the list variable named by `outputs`.
function(package_copy_tree source_dir target_dir outputs)
    file(GLOB_RECURSE files RELATIVE ${source_dir} CONFIGURE_DEPENDS ${source_dir}/*)
    set(copies ${${outputs}})
    foreach(file ${files})
        add_custom_command(OUTPUT ${target_dir}/${file}
            COMMAND ${CMAKE_COMMAND} -E copy ${source_dir}/${file} ${target_dir}/${file}
            DEPENDS ${source_dir}/${file})
        list(APPEND copies ${target_dir}/${file})
    endforeach()
    set(${outputs} ${copies} PARENT_SCOPE)
endfunction()

# Copies the stand-in bridge library into the package as `target_file`.
function(package_bridge_library target_file outputs)
    add_custom_command(OUTPUT ${target_file}
        COMMAND ${CMAKE_COMMAND} -E copy ${OCFPCSC_STANDIN} ${target_file}
        DEPENDS ocfpcsc_standin)
    set(${outputs} ${${outputs}} ${target_file} PARENT_SCOPE)
endfunction()
