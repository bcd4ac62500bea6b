# The two product directories: ${SENDRA_BUNDLES_DIR}/<product>/ holds the executable, Info.json and
# Resources/ (the English strings table and, later, brand images). The source tree keeps
#   Resources/<product>/...   files of one product, copied to the product directory's top
#   Resources/<anything else> files of both products, copied under each product directory's Resources/
#
# sendra_add_to_bundles(<target>) copies an executable target into both product directories after it builds.
include_guard(GLOBAL)

set(SENDRA_BUNDLE_PRODUCTS brimvale orrinth CACHE INTERNAL "The products one executable ships as")

function(_sendra_bundle_resources source_root)
  set(src ${source_root}/Resources)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS RELATIVE ${src} ${src}/*)
  set(outputs)
  foreach(file ${files})
    string(REGEX MATCH "^[^/]+" top ${file})
    foreach(product ${SENDRA_BUNDLE_PRODUCTS})
      if(top STREQUAL product)
        string(REGEX REPLACE "^[^/]+/" "" relative ${file})
        set(dest ${SENDRA_BUNDLES_DIR}/${product}/${relative})
      elseif(top IN_LIST SENDRA_BUNDLE_PRODUCTS)
        continue()
      else()
        set(dest ${SENDRA_BUNDLES_DIR}/${product}/Resources/${file})
      endif()
      add_custom_command(OUTPUT ${dest}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src}/${file} ${dest}
        DEPENDS ${src}/${file}
        COMMENT "Bundle ${product}: ${file}"
        VERBATIM)
      list(APPEND outputs ${dest})
    endforeach()
  endforeach()
  add_custom_target(SendraBundleResources ALL DEPENDS ${outputs})
endfunction()
get_filename_component(_sendra_source_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
_sendra_bundle_resources(${_sendra_source_root})

function(sendra_add_to_bundles target)
  foreach(product ${SENDRA_BUNDLE_PRODUCTS})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${SENDRA_BUNDLES_DIR}/${product}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${SENDRA_BUNDLES_DIR}/${product}/
      VERBATIM)
  endforeach()
  add_dependencies(${target} SendraBundleResources)
endfunction()
