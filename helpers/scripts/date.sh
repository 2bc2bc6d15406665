#!/bin/sh
# Prints the date text that names an alarm log archive.
date '+%Y%m%d_%H%M%S'
