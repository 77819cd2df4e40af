console.log("wall");
