# The program's layers, bottom to top. Each layer is a static library built from its
# modules (a directory stands for each of its modules that no more specific entry claims)
# and links only the layers it uses directly (and through them what those use); calls only
# go down. A module may include the headers of its own layer and of the layers its layer
# reaches that way, never one above. tools/check_layers.cmake checks the includes.
set(STACONT_LAYERS runtime files graphics geography image surface analysis plot stations driver)

# Runtime services: resources, messages, prompts, menus, tables, file and process services.
set(STACONT_LAYER_runtime_MODULES config)
set(STACONT_LAYER_runtime_USES "")
# Files and dates: naming conventions, file selection, the netCDF access layer.
set(STACONT_LAYER_files_MODULES files)
set(STACONT_LAYER_files_USES runtime)
# Graphics kernel and devices: the bottom of the drawing half, on runtime services alone.
# Weather symbols drawn by name need nothing more, and both the station plots and the
# fronts draw them.
set(STACONT_LAYER_graphics_MODULES graphics plot/wx_symb)
set(STACONT_LAYER_graphics_USES runtime)
# Geography: projections, domains and regions.
set(STACONT_LAYER_geography_MODULES plot/maptran plot/region)
set(STACONT_LAYER_geography_USES files)
# Image files: the image record places a picture on the earth with a domain, so the
# readers and writers of GIF, PNG, XWD and the package format, the capture of the window
# and the image overlays sit above the projections.
set(STACONT_LAYER_image_MODULES graphics/img_tool graphics/gif graphics/png graphics/xdump graphics/gks_img)
set(STACONT_LAYER_image_USES graphics geography)
# Surface data: surface files, variables, units, derivations, stations, weather codes.
set(STACONT_LAYER_surface_MODULES surface)
set(STACONT_LAYER_surface_USES files graphics geography)
# Analysis and grids: objective analysis, grid records, grid files.
set(STACONT_LAYER_analysis_MODULES analysis)
set(STACONT_LAYER_analysis_USES surface)
# Plot layers: contours, vectors, map background, fronts.
set(STACONT_LAYER_plot_MODULES plot)
set(STACONT_LAYER_plot_USES analysis image)
# Station values drawn at the stations: numbers and texts, but also barbs, arrows and
# tracks, which the vector layer draws; hence above the plot layers. The raw files and the
# format language stay with the surface data.
set(STACONT_LAYER_stations_MODULES surface/raw_plt)
set(STACONT_LAYER_stations_USES plot)
# Driver and plot manager.
set(STACONT_LAYER_driver_MODULES driver)
set(STACONT_LAYER_driver_USES stations)

# The layer of a module ("plot/map", "config/resrc"): the layer that names the module
# itself, else the one that names its directory; empty when none does.
function(stacont_module_layer module out)
  get_filename_component(dir "${module}" DIRECTORY)
  set(by_dir "")
  foreach(layer IN LISTS STACONT_LAYERS)
    foreach(entry IN LISTS STACONT_LAYER_${layer}_MODULES)
      if(entry STREQUAL module)
        set(${out} "${layer}" PARENT_SCOPE)
        return()
      endif()
      if(entry STREQUAL dir)
        set(by_dir "${layer}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${by_dir}" PARENT_SCOPE)
endfunction()

# Every layer that layer reaches through its uses (itself not included).
function(stacont_layer_reach layer out)
  set(reach "")
  set(todo ${STACONT_LAYER_${layer}_USES})
  while(todo)
    list(POP_FRONT todo next)
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      list(APPEND todo ${STACONT_LAYER_${next}_USES})
    endif()
  endwhile()
  set(${out} "${reach}" PARENT_SCOPE)
endfunction()
