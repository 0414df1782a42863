//==========================================================
//	Kandrel Auto Generation
//==========================================================

module Nested( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Plate
		Proc1( iPixClk,
			//In
			//Out
				Proc1_O1_INT,
				Proc1_O1_Sync
			);
			wire [ 7:0]	Proc1_O1_INT;
			wire [ 2:0]	Proc1_O1_Sync;

	Stage_1
		Proc2( iPixClk,
			//In
				Proc1_O1_INT,
				Proc1_O1_Sync,
			//Out
				Proc2_O1_INT,
				Proc2_O1_Sync,
				Proc2_O2_INT,
				Proc2_O2_Sync
			);
			wire [ 7:0]	Proc2_O1_INT;
			wire [ 2:0]	Proc2_O1_Sync;
			wire [ 7:0]	Proc2_O2_INT;
			wire [ 2:0]	Proc2_O2_Sync;

	//ExtOut
	assign O1_INT	= Proc2_O1_INT;
	assign O1_Sync	= Proc2_O1_Sync;

endmodule
//----------------------------------------------------------

module Plate( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module Stage_1( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync,

		output [ 7:0]	O2_INT,
		output [ 2:0]	O2_Sync

	);

	Contrast
		Proc1( iPixClk,
			//In
				Ext_In1_INT,
				Ext_In1_Sync,
			//Out
				Proc1_O1_INT,
				Proc1_O1_Sync
			);
			wire [ 7:0]	Proc1_O1_INT;
			wire [ 2:0]	Proc1_O1_Sync;

	Inner_2
		Proc2( iPixClk,
			//In
				Proc1_O1_INT,
				Proc1_O1_Sync,
			//Out
				Proc2_O1_INT,
				Proc2_O1_Sync
			);
			wire [ 7:0]	Proc2_O1_INT;
			wire [ 2:0]	Proc2_O1_Sync;

	//ExtOut
	assign O1_INT	= Proc2_O1_INT;
	assign O1_Sync	= Proc2_O1_Sync;

	assign O2_INT	= Proc1_O1_INT;
	assign O2_Sync	= Proc1_O1_Sync;

endmodule
//----------------------------------------------------------

module Contrast( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Contrast_INT	Proc1( iPixClk, 
			//In
				Ext_In1_INT,
				Ext_In1_Sync,
			//Out
				O1_INT,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

module Inner_2( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Abs
		Proc1( iPixClk,
			//In
				Ext_In1_INT,
				Ext_In1_Sync,
			//Out
				Proc1_O1_INT,
				Proc1_O1_Sync
			);
			wire [ 7:0]	Proc1_O1_INT;
			wire [ 2:0]	Proc1_O1_Sync;

	//ExtOut
	assign O1_INT	= Proc1_O1_INT;
	assign O1_Sync	= Proc1_O1_Sync;

endmodule
//----------------------------------------------------------

module Abs( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Abs_INT	Proc1( iPixClk, 
			//In
				Ext_In1_INT,
				Ext_In1_Sync,
			//Out
				O1_INT,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

